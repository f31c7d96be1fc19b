#pragma once

// A plain reading of a configuration file into host rows, written for the tests apart
// from the library: Qt's text, whole lines, one rule after the other, no speed work.
// The library's scan must give exactly what it gives.

#include "filetext.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace kelto::test {

// Code points as Qt's text. Not QString::fromUcs4(), which drops a leading U+FEFF as a
// byte order mark.
inline QString qtString(std::u32string_view text)
{
    QString s;
    for (const char32_t c : text)
        s += QChar::fromUcs4(c);
    return s;
}

struct ReferenceRow
{
    std::u32string text;
    bool repeated = false;
};

struct ReferenceTable
{
    std::vector<ReferenceRow> rows; // sorted by code point
    std::optional<qsizetype> malformedLine; // the scan stopped there
};

inline std::u32string referenceText(const QByteArray &bytes)
{
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes[0] == '\xFF' ? QStringConverter::Utf16LE
                                                : QStringConverter::Utf16BE,
                             QStringConverter::Flag::Stateless);
        text = utf16(bytes);
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        text = utf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes);
        if (utf8.hasError()) {
            text.clear();
            for (const char byte : bytes)
                text += QChar(char16_t(windows1252CodePoint(uchar(byte))));
        }
    }
    const QList<uint> codePoints = text.toUcs4();
    return std::u32string(codePoints.begin(), codePoints.end());
}

inline std::vector<std::u32string> referenceLines(const std::u32string &text)
{
    std::vector<std::u32string> lines;
    std::u32string line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != U'\r' && text[i] != U'\n') {
            line += text[i];
            continue;
        }
        if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
            ++i;
        lines.push_back(std::exchange(line, {}));
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

inline std::u32string foldedAscii(std::u32string s)
{
    for (char32_t &c : s)
        c = c >= U'A' && c <= U'Z' ? c + 32 : c;
    return s;
}

// Where a key counts in a line: its first occurrence, unless at column 2 or right after
// an ASCII letter, digit or "_". -1 for none.
inline qsizetype referenceKey(const std::u32string &line, const std::u32string &key)
{
    const size_t at = line.find(key);
    if (at == std::u32string::npos || at == 1)
        return -1;
    if (at > 0) {
        const char32_t c = line[at - 1];
        if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9')
            || c == U'_')
            return -1;
    }
    return qsizetype(at);
}

// The address field of a line, or nothing for a malformed one.
inline std::optional<std::u32string> referenceAddress(std::u32string line)
{
    if (line.size() < 23)
        line += U"         ";
    std::u32string window = line.substr(7, 15);
    std::replace(window.begin(), window.end(), U';', U' ');
    // 1-based positions as an InStr would give them, 0 for none.
    const auto inStr = [&window](size_t from, char32_t c) -> size_t {
        const size_t at = from > window.size() ? std::u32string::npos : window.find(c, from - 1);
        return at == std::u32string::npos ? 0 : at + 1;
    };
    const auto mid = [&window](size_t start, size_t length) {
        return start - 1 >= window.size() ? std::u32string() : window.substr(start - 1, length);
    };
    const auto align = [](const std::u32string &group) {
        return group.size() == 2 || group.size() == 3 ? std::u32string(4 - group.size(), U' ') + group
                                                      : group;
    };
    const size_t p1 = inStr(1, U'.');
    const size_t p2 = inStr(p1 + 1, U'.');
    const size_t p3 = inStr(p2 + 1, U'.');
    const size_t p4 = inStr(p3 + 1, U' ');
    if ((p1 > 0 && p2 == 0) || (p2 > 0 && p3 == 0))
        return std::nullopt;
    std::u32string field = align(mid(1, p1)) + align(mid(p1 + 1, p2 - p1)) + align(mid(p2 + 1, p3 - p2));
    if (p3 > 0 && p4 == 0)
        field += align(mid(p3 + 1, 15) + U' ');
    else
        field += align(mid(p3 + 1, p4 - p3));
    while (!field.empty() && field.back() == U' ')
        field.pop_back();
    return field;
}

inline std::u32string referenceRow(const std::u32string &address, std::u32string name,
                                   const std::u32string &mac)
{
    name = name.substr(0, 83);
    return address + U' ' + name + std::u32string(83 - name.size(), U' ') + mac;
}

inline ReferenceTable referenceScan(const QByteArray &bytes)
{
    ReferenceTable table;
    std::u32string mac, pendingAddress, pendingMac;
    bool pending = false, macSincePending = false, inHttp = false;
    qsizetype number = 0;
    for (const std::u32string &line : referenceLines(referenceText(bytes))) {
        ++number;
        if (inHttp && !(line.size() > 0 && line[0] == U'['))
            continue;
        const bool header = line.size() >= 19 && line[0] == U'[' && line[18] == U']' && line[3] == U'-'
                            && line[6] == U'-' && line[9] == U'-' && line[12] == U'-' && line[15] == U'-';
        if (header) {
            mac = line.substr(1, 17);
            macSincePending = true;
        }
        if (referenceKey(line, U"IPADDR=") >= 0) {
            if (pending) {
                table.rows.push_back({referenceRow(pendingAddress, {}, pendingMac)});
                pending = false;
                if (!macSincePending)
                    mac.clear();
            }
            const std::optional<std::u32string> address = referenceAddress(line);
            if (!address) {
                table.malformedLine = number;
                break;
            }
            if (!address->empty()) {
                pending = true;
                pendingAddress = *address;
                pendingMac = mac;
                macSincePending = false;
            }
        }
        if (referenceKey(foldedAscii(line), U"hostname=") >= 0 && pending) {
            std::u32string name = line.size() < 23 && referenceKey(line, U"IPADDR=") >= 0
                                      ? (line + U"         ").substr(9)
                                      : line.substr(9);
            name = name.substr(0, name.find(U';'));
            table.rows.push_back({referenceRow(pendingAddress, name, mac)});
            pending = false;
            mac.clear();
        }
        inHttp = line.find(U"[HTTP") != std::u32string::npos;
    }
    if (pending && !table.malformedLine)
        table.rows.push_back({referenceRow(pendingAddress, {}, pendingMac)});
    std::sort(table.rows.begin(), table.rows.end(),
              [](const ReferenceRow &a, const ReferenceRow &b) { return a.text < b.text; });
    for (size_t i = 1; i < table.rows.size() && !table.malformedLine; ++i)
        table.rows[i].repeated = table.rows[i].text.substr(0, 15) == table.rows[i - 1].text.substr(0, 15);
    return table;
}

} // namespace kelto::test
