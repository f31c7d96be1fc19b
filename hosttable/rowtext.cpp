// A host row's text, composed in one place: composeRow() hands the parts of a row to a
// sink, which writes them as UTF-8 (the outputs of kelto-cli, and the comparison of rows)
// or as Qt's text (the window, the search, the checks).

#include "hosttable.h"

#include "text.h"

#include <array>
#include <cstring>

namespace kelto {

namespace {

// Where a sink is in the row when it is told: the end of the address field, and the start
// of the MAC field (the end of the host name's padding).
enum class RowMark { AddressEnd, MacStart };

// The text of every group of three base-11 digits of a key.
constexpr auto DigitGroups = [] {
    std::array<std::array<char, 3>, size_t(11) * 11 * 11> groups{};
    for (size_t g = 0; g < groups.size(); ++g) {
        size_t value = g;
        for (int i = 2; i >= 0; --i, value /= 11)
            groups[g][size_t(i)] = value % 11 == 0 ? ' ' : char('0' + value % 11 - 1);
    }
    return groups;
}();

// The 15 characters of the address field that a key codes.
char *appendKeyText(quint64 key, char *out)
{
    constexpr quint64 GroupBase = quint64(11) * 11 * 11;
    std::array<size_t, 4> groups;
    for (int i = 3; i >= 0; --i, key /= GroupBase)
        groups[size_t(i)] = size_t(key % GroupBase);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            *out++ = '.';
        out = std::copy_n(DigitGroups[groups[size_t(i)]].begin(), 3, out);
    }
    return out;
}

constexpr std::array<char, HostNameMaxLength> Spaces = [] {
    std::array<char, HostNameMaxLength> spaces{};
    spaces.fill(' ');
    return spaces;
}();

// Writes a row as UTF-8.
struct Utf8Sink
{
    char *out;
    void append(std::string_view utf8)
    {
        if (utf8.empty())
            return; // an absent MAC has no bytes, and no address to copy from
        std::memcpy(out, utf8.data(), utf8.size());
        out += utf8.size();
    }
    void mark(RowMark) { }
};

} // namespace

// Writes a row as Qt's text into a HostRow, noting where its fields start and end.
struct QtTextSink
{
    HostRow &row;
    char16_t *out = row.m_units.data();

    void append(std::string_view utf8)
    {
        out = appendUtf16({reinterpret_cast<const uchar *>(utf8.data()), utf8.size()}, out, row.m_size);
    }
    void mark(RowMark mark)
    {
        const qsizetype units = out - row.m_units.data();
        if (mark == RowMark::AddressEnd)
            row.m_addressEnd = units;
        else if (mark == RowMark::MacStart)
            row.m_macStart = units;
    }
    void finish() { row.m_end = out - row.m_units.data(); }
};

template <typename Sink> void HostTable::composeRow(const Record &record, Sink &sink) const
{
    std::array<char, 4 * AddressFieldMaxLength> address;
    char *addressEnd = address.data();
    if (record.otherAddress == 0) {
        addressEnd = appendKeyText(record.key, addressEnd);
    } else {
        const AddressField &field = m_otherAddresses[record.otherAddress - 1];
        for (const char32_t c : field.view())
            addressEnd = appendUtf8(addressEnd, c);
    }
    sink.append({address.data(), size_t(addressEnd - address.data())});
    sink.mark(RowMark::AddressEnd);
    sink.append(" ");
    const std::span<const uchar> text = m_text.bytes();
    const auto name = text.subspan(record.hostName, record.hostNameLength);
    sink.append({reinterpret_cast<const char *>(name.data()), name.size()});
    const qsizetype nameLength = m_text.isAscii() ? qsizetype(name.size()) : columnCount(name);
    sink.append({Spaces.data(), size_t(HostNameMaxLength - nameLength)});
    sink.mark(RowMark::MacStart);
    sink.append(macOf(record));
}

std::string_view HostTable::macOf(const Record &record) const
{
    if (record.mac == 0)
        return {};
    const auto mac = m_text.bytes().subspan(record.mac);
    const auto bytes = size_t(m_text.isAscii() ? MacFieldWidth : columnOffset(mac, MacFieldWidth));
    return {reinterpret_cast<const char *>(mac.data()), bytes};
}

HostRow HostTable::row(qsizetype index) const
{
    return rowOf(m_rows[size_t(index)]);
}

HostRow HostTable::rowOf(const Record &record) const
{
    HostRow row;
    QtTextSink sink{row};
    composeRow(record, sink);
    sink.finish();
    return row;
}

std::string_view HostTable::rowUtf8(const Record &record, RowUtf8 &utf8) const
{
    Utf8Sink sink{utf8.data()};
    composeRow(record, sink);
    return {utf8.data(), size_t(sink.out - utf8.data())};
}

char *HostTable::appendRowUtf8(qsizetype index, char *out) const
{
    Utf8Sink sink{out};
    composeRow(m_rows[size_t(index)], sink);
    return sink.out;
}

bool HostTable::hostNumberEquals(qsizetype index, QStringView hostNumber) const
{
    const Record &record = m_rows[size_t(index)];
    if (record.otherAddress != 0)
        return rowOf(record).columns(HostNumberPosition, HostNumberWidth) == hostNumber;
    // Columns 13-15 of a key's text: its last group of three digits.
    constexpr quint64 GroupBase = quint64(11) * 11 * 11;
    const std::array<char, 3> &number = DigitGroups[size_t(record.key % GroupBase)];
    return hostNumber.size() == HostNumberWidth
           && std::equal(number.begin(), number.end(), hostNumber.begin(),
                         [](char a, QChar b) { return b.unicode() == char16_t(a); });
}

QStringView HostTable::shownAddress(qsizetype index, HostRow::ShownAddressBuffer &buffer) const
{
    const Record &record = m_rows[size_t(index)];
    if (record.otherAddress != 0)
        return rowOf(record).shownAddress(buffer);
    std::array<char, AddressFieldWidth> field;
    appendKeyText(record.key, field.data());
    const auto end = std::copy_if(field.begin(), field.end(), buffer.begin(),
                                  [](char c) { return c != ' '; });
    return QStringView(buffer.data(), end - buffer.begin());
}

} // namespace kelto
