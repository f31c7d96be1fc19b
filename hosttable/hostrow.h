#pragma once

#include "rowformat.h"

#include <QString>
#include <QStringView>

#include <array>

namespace kelto {

// One row of the host table as Qt's text, composed from the table when asked for: the
// whole row text with its padding, and its fields as views into it. Columns count
// characters (code points), so a character outside the Basic Multilingual Plane is never
// split. A row holds its text itself: views from it last as long as the row.
class HostRow
{
public:
    QStringView text() const { return QStringView(m_units.data(), m_end); }
    qsizetype size() const { return m_size; } // in characters

    QStringView address() const { return text().first(m_addressEnd); }
    QStringView mac() const { return text().sliced(m_macStart); }

    // The characters from `position` on, at most `n` of them (n < 0: to the end); empty
    // when `position` lies past the end.
    QStringView columns(qsizetype position, qsizetype n = -1) const;

    // The fields as a lookup shows them (see rowformat.h). The shown address drops the
    // alignment spaces, so it is written into `buffer`.
    using ShownAddressBuffer = std::array<char16_t, 2 * AddressFieldWidth>;
    QStringView shownAddress(ShownAddressBuffer &buffer) const;
    QStringView shownHostName() const;
    QStringView shownMac() const { return columns(ShownMacPosition); }

private:
    friend struct QtTextSink; // composes the row

    // UTF-16: each character takes at most two units. Positions count units.
    std::array<char16_t, 2 * RowMaxLength> m_units;
    qsizetype m_addressEnd = 0;
    qsizetype m_macStart = 0;
    qsizetype m_end = 0;
    qsizetype m_size = 0;
};

} // namespace kelto
