#include "hostrow.h"

#include "text.h"

namespace kelto {

QStringView HostRow::columns(qsizetype position, qsizetype n) const
{
    const QStringView all = text();
    if (m_size == all.size()) { // one unit per character, nearly every row
        const qsizetype from = std::min(position, all.size());
        return all.sliced(from, n < 0 ? all.size() - from : std::min(n, all.size() - from));
    }
    qsizetype unit = 0;
    const auto skip = [&all, &unit](qsizetype characters) {
        for (; characters > 0 && unit < all.size(); --characters)
            unit += all[unit].isHighSurrogate() && unit + 1 < all.size() ? 2 : 1;
    };
    skip(position);
    const qsizetype from = unit;
    skip(n < 0 ? all.size() : n);
    return all.sliced(from, unit - from);
}

QStringView HostRow::shownAddress(ShownAddressBuffer &buffer) const
{
    const QStringView field = columns(0, AddressFieldWidth);
    qsizetype size = 0;
    for (const QChar c : field) {
        if (c != u' ')
            buffer[size_t(size++)] = c.unicode();
    }
    return QStringView(buffer.data(), size);
}

QStringView HostRow::shownHostName() const
{
    return withoutTrailingSpaces(columns(ShownHostNamePosition, ShownHostNameLength));
}

} // namespace kelto
