#include "mac.h"

#include "text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kelto {

namespace {

constexpr int MacDigits = 12;
constexpr qsizetype MinSearchDigits = 4;
constexpr quint64 FirstOtherKey = quint64(1) << 48;

bool isMacSeparator(QChar c)
{
    return c == u':' || c == u'-' || c == u'.';
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// What each ASCII character is in a MAC: a hexadecimal digit (its value), a separator,
// or neither.
constexpr quint8 Separator = 16;
constexpr quint8 NotInMac = 255;
constexpr std::array<quint8, 128> MacCharacters = [] {
    std::array<quint8, 128> table{};
    table.fill(NotInMac);
    constexpr std::string_view lower = "0123456789abcdef";
    constexpr std::string_view upper = "0123456789ABCDEF";
    for (size_t value = 0; value < lower.size(); ++value) {
        table[static_cast<unsigned char>(lower[value])] = quint8(value);
        table[static_cast<unsigned char>(upper[value])] = quint8(value);
    }
    table[':'] = table['-'] = table['.'] = Separator;
    return table;
}();

// The twelve hexadecimal digits of a MAC in any notation as a number; nothing for any
// other text. One table lookup per character: a table has millions of MACs.
std::optional<quint64> hexMacValue(QStringView mac)
{
    quint64 value = 0;
    int digits = 0;
    for (const QChar c : mac) {
        const quint8 kind = c.unicode() < 0x80 ? MacCharacters[c.unicode()] : NotInMac;
        if (kind == Separator)
            continue;
        if (kind == NotInMac || ++digits > MacDigits)
            return std::nullopt;
        value = value << 4 | kind;
    }
    return digits == MacDigits ? std::optional(value) : std::nullopt;
}

// hexMacValue for the notation of the client section headers, "00-1a-2b-3c-4d-5e",
// without a branch per character; nothing for any other notation.
char16_t unitOf(QChar c)
{
    return c.unicode();
}

char16_t unitOf(char c)
{
    return uchar(c);
}

// `Text` is Qt's text or UTF-8, whose bytes of a character beyond ASCII are never hex.
template <typename Text> std::optional<quint64> headerMacValue(Text mac)
{
    constexpr qsizetype Length = 17;
    if (qsizetype(mac.size()) != Length)
        return std::nullopt;
    const auto kindOf = [mac](qsizetype i) {
        return quint64(MacCharacters[std::min<char16_t>(unitOf(mac[size_t(i)]), 0x7f)]);
    };
    quint64 value = 0;
    quint64 kinds = 0; // any kind above 15 is no hexadecimal digit
    bool dashes = true;
    for (qsizetype i = 0; i < Length; i += 3) {
        const quint64 high = kindOf(i);
        const quint64 low = kindOf(i + 1);
        kinds |= high | low;
        value = value << 8 | high << 4 | low;
        if (i + 2 < Length)
            dashes &= unitOf(mac[size_t(i + 2)]) == u'-';
    }
    return dashes && kinds < 16 ? std::optional(value) : std::nullopt;
}

} // namespace

FoldedMac foldMac(QStringView mac)
{
    FoldedMac folded(mac.size());
    char16_t *out = folded.data();
    for (const QChar c : mac) {
        if (isMacSeparator(c))
            continue;
        const char16_t u = c.unicode();
        *out++ = u < 0x80 ? (u >= u'A' && u <= u'Z' ? char16_t(u + 32) : u)
                          : c.toCaseFolded().unicode();
    }
    folded.resize(out - folded.data());
    return folded;
}

quint64 MacKeys::keyOf(QStringView mac)
{
    if (const std::optional<quint64> value = headerMacValue(mac))
        return *value;
    if (const std::optional<quint64> value = hexMacValue(mac))
        return *value;
    const FoldedMac folded = foldMac(mac);
    const QString text(reinterpret_cast<const QChar *>(folded.constData()), folded.size());
    const auto found = m_others.constFind(text);
    if (found != m_others.constEnd())
        return *found;
    const quint64 key = FirstOtherKey + quint64(m_otherTexts.size());
    m_others.insert(text, key);
    m_otherTexts.append(text);
    return key;
}

quint64 MacKeys::keyOf(std::string_view utf8)
{
    if (const std::optional<quint64> value = headerMacValue(utf8))
        return *value;
    return keyOf(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

std::optional<quint64> macValue(QStringView mac)
{
    if (const std::optional<quint64> value = headerMacValue(mac))
        return value;
    return hexMacValue(mac);
}

QString MacKeys::textOf(quint64 key) const
{
    if (key >= FirstOtherKey)
        return m_otherTexts.value(qsizetype(key - FirstOtherKey));
    QString text;
    for (int shift = 40; shift >= 0; shift -= 8) {
        text += QStringLiteral("%1").arg((key >> shift) & 0xff, 2, 16, QLatin1Char('0'));
        if (shift > 0)
            text += u'-';
    }
    return text;
}

namespace {

// The first twelve hexadecimal digits of a MAC field, in lower case, separators passed
// over; fewer when another character comes first.
QVarLengthArray<char16_t, MacDigits> macDigitsOf(QStringView mac)
{
    QVarLengthArray<char16_t, MacDigits> digits;
    for (const QChar c : mac) {
        const quint8 kind = c.unicode() < 0x80 ? MacCharacters[c.unicode()] : NotInMac;
        if (kind == Separator)
            continue;
        if (kind == NotInMac || digits.size() == MacDigits)
            break;
        digits.append(u"0123456789abcdef"[kind]);
    }
    return digits;
}

} // namespace

std::optional<MacSearch> MacSearch::of(QStringView text)
{
    QChar separator;
    qsizetype typed = 0; // hexadecimal digits
    for (const QChar c : text) {
        if (isMacSeparator(c)) {
            if (!separator.isNull() && c != separator)
                return std::nullopt; // one notation at a time
            separator = c;
        } else if (hexValue(foldAscii(c.unicode())) >= 0) {
            ++typed;
        } else {
            return std::nullopt;
        }
    }
    if (typed < MinSearchDigits || typed > MacDigits)
        return std::nullopt;
    MacSearch search;
    if (separator.isNull()) {
        search.m_readings.append({text.toString().toLower(), 0});
        return search;
    }
    const bool dotted = separator == u'.';
    search.m_alignment = dotted ? 4 : 2;
    const QList<QStringView> groups = text.split(separator);
    if (groups.size() > MacDigits / search.m_alignment)
        return std::nullopt;
    // Dotted groups of four: at least one whole group, so that "10.20" stays an address.
    if (dotted && std::none_of(groups.begin(), groups.end(), [](QStringView g) { return g.size() == 4; }))
        return std::nullopt;
    QString digits;
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const qsizetype size = groups[i].size();
        const bool inner = i > 0 && i < groups.size() - 1;
        if (size == 0 || size > search.m_alignment
            || (inner && size != search.m_alignment && (dotted || size != 1)))
            return std::nullopt;
        if (inner && size == 1)
            digits += u'0';
        digits += groups[i].toString().toLower();
    }
    const int first = int(groups.front().size());
    const int phase = (search.m_alignment - first % search.m_alignment) % search.m_alignment;
    search.m_readings.append({digits, phase});
    // A last group of one digit may also be a whole octet without its leading zero.
    if (!dotted && groups.back().size() == 1)
        search.m_readings.append({digits.insert(digits.size() - 1, u'0'), phase});
    return search;
}

bool MacSearch::isFoundIn(QStringView mac) const
{
    const auto digits = macDigitsOf(mac);
    if (digits.size() != MacDigits)
        return false;
    const QStringView held(digits.constData(), digits.size());
    for (const Reading &reading : m_readings) {
        for (qsizetype at = reading.phase; at + reading.digits.size() <= MacDigits;
             at += m_alignment) {
            if (held.sliced(at, reading.digits.size()) == reading.digits)
                return true;
        }
    }
    return false;
}

bool MacSearch::holdsMac(QStringView mac)
{
    return macDigitsOf(mac).size() == MacDigits;
}

} // namespace kelto
