#include "hostrow.h"

#include <algorithm>

namespace kelto {

namespace {

// The longest run of padding a row can need: a host name field with an empty name.
constexpr auto Spaces = [] {
    std::array<char16_t, HostNameFieldWidth> spaces{};
    spaces.fill(u' ');
    return spaces;
}();

// Walks the pieces of a row from a given position on, skipping empty pieces.
class PieceCursor
{
public:
    explicit PieceCursor(const HostRow &row, qsizetype position = 0) : m_pieces(row.pieces())
    {
        advance(position);
    }

    // What is left of the current piece; empty at the end of the row.
    QStringView current() const
    {
        return m_index < m_pieces.size() ? m_pieces[m_index].sliced(m_offset) : QStringView();
    }

    void advance(qsizetype n)
    {
        while (m_index < m_pieces.size() && n >= m_pieces[m_index].size() - m_offset) {
            n -= m_pieces[m_index].size() - m_offset;
            m_offset = 0;
            ++m_index;
        }
        if (m_index < m_pieces.size())
            m_offset += n;
    }

private:
    HostRow::Pieces m_pieces;
    size_t m_index = 0;
    qsizetype m_offset = 0;
};

} // namespace

HostRow::HostRow(QStringView address, QStringView hostName, QStringView mac)
    : m_address(address), m_hostName(hostName.first(std::min(hostName.size(), HostNameMaxLength))),
      m_mac(mac)
{ }

HostRow::Pieces HostRow::pieces() const
{
    const QStringView spaces(Spaces.data(), Spaces.size());
    return {m_address, spaces.first(1), m_hostName,
            spaces.first(HostNameMaxLength - m_hostName.size()), m_mac};
}

qsizetype HostRow::size() const
{
    return m_address.size() + HostNameFieldWidth + m_mac.size();
}

QString HostRow::text() const
{
    return mid(0);
}

QString HostRow::mid(qsizetype position, qsizetype n) const
{
    QString result;
    const qsizetype available = std::max<qsizetype>(size() - position, 0);
    n = n < 0 ? available : std::min(n, available);
    result.reserve(n);
    for (PieceCursor cursor(*this, position); n > 0;) {
        const QStringView piece = cursor.current().first(std::min(n, cursor.current().size()));
        result.append(piece);
        cursor.advance(piece.size());
        n -= piece.size();
    }
    return result;
}

bool HostRow::equalsAt(qsizetype position, QStringView text) const
{
    if (text.isEmpty())
        return true;
    if (position + text.size() > size())
        return false;
    if (position + text.size() <= m_address.size()) // the usual case: a host number
        return m_address.sliced(position, text.size()) == text;
    for (PieceCursor cursor(*this, position); !text.isEmpty();) {
        const qsizetype n = std::min(text.size(), cursor.current().size());
        if (cursor.current().first(n) != text.first(n))
            return false;
        cursor.advance(n);
        text = text.sliced(n);
    }
    return true;
}

int HostRow::compare(const HostRow &other, qsizetype n) const
{
    PieceCursor mine(*this);
    PieceCursor theirs(other);
    while (n > 0) {
        const QStringView a = mine.current();
        const QStringView b = theirs.current();
        if (a.isEmpty() || b.isEmpty())
            return int(!a.isEmpty()) - int(!b.isEmpty());
        const qsizetype chunk = std::min({a.size(), b.size(), n});
        if (const int order = a.first(chunk).compare(b.first(chunk), Qt::CaseSensitive))
            return order;
        mine.advance(chunk);
        theirs.advance(chunk);
        n -= chunk;
    }
    return 0;
}

QString composeRow(QStringView address, QStringView hostName, QStringView mac)
{
    return HostRow(address, hostName, mac).text();
}

} // namespace kelto
