#include "lookup.h"

#include <QDateTime>
#include <QList>

namespace kelto {

HostFields fieldsOf(const HostRow &row)
{
    HostRow::ShownAddressBuffer address;
    return {row.shownAddress(address).toString(), row.shownHostName().toString(),
            row.shownMac().toString()};
}

QString alignHostNumber(const QString &typed)
{
    const qsizetype length = QStringView(typed).toUcs4().size();
    if (length == HostNumberWidth - 1 || length == HostNumberWidth - 2)
        return QString(HostNumberWidth - length, u' ') + typed;
    return typed;
}

LookupResult lookup(const HostTable &table, const QString &hostNumber)
{
    if (QStringView(hostNumber).toUcs4().size() == HostNumberWidth) {
        for (qsizetype i = 0; i < table.size(); ++i) {
            if (table.hostNumberEquals(i, hostNumber))
                return {fieldsOf(table.row(i)), i};
        }
    }
    return {{hostNumber, {}, {}}, -1};
}

RowLease leaseOf(const HostTable &table, qsizetype index, qint64 now)
{
    const std::optional<qint64> end = table.leaseEnd(index);
    if (!end)
        return {{}, QLatin1StringView("none")};
    return {QDateTime::fromSecsSinceEpoch(*end, Qt::UTC).toString(Qt::ISODate),
            QLatin1StringView(*end > now ? "active" : "expired")};
}

} // namespace kelto
