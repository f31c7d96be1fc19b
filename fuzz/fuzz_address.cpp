// libFuzzer target: the address normalisation of one line, against the plain reading of
// the tests and against the rule that decides it: the value's first 15 characters (";"
// read as a space) with exactly one or two dots fail; anything else gives an address
// field without trailing spaces.

#include "check.h"
#include "fields.h"
#include "filetext.h"
#include "reference.h"

#include <QStringList>

#include <algorithm>
#include <string>

using namespace kelto;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Any code points, three bytes each, after the key the scan found. Most bytes are
    // taken as they are, so that digits, dots, spaces and ";" come often.
    std::u32string line = U"IPADDR=";
    for (size_t i = 0; i + 3 <= size; i += 3) {
        char32_t c = data[i] < 0xF0 ? data[i] : (char32_t(data[i + 1]) << 8 | data[i + 2]) * 17 % 0x110000;
        if (c >= 0xD800 && c <= 0xDFFF)
            c = U'?';
        line += c;
    }

    // The scan gives the field methods the line's UTF-8.
    std::string utf8(line.size() * 4, '\0');
    char *end = utf8.data();
    for (const char32_t c : line)
        end = appendUtf8(end, c);
    utf8.resize(size_t(end - utf8.data()));
    AddressField field;
    const bool ok = MyIPAddr(std::span(reinterpret_cast<const uchar *>(utf8.data()), utf8.size()), field);
    const std::optional<std::u32string> expected = test::referenceAddress(line);
    check(ok == expected.has_value());
    if (!ok)
        return 0;
    check(field.view() == *expected);
    check(field.size <= AddressFieldMaxLength && (field.size == 0 || field.chars[size_t(field.size - 1)] != U' '));

    // A dotted address of four octets of one to three digits becomes the 15-character
    // field with the dots at columns 4, 8 and 12.
    std::u32string window = (line.size() < 23 ? line + U"         " : line).substr(7, 15);
    std::replace(window.begin(), window.end(), U';', U' ');
    const std::u32string value = window.substr(0, window.find(U' '));
    const QStringList octets = test::qtString(value).split(u'.');
    bool dotted = octets.size() == 4;
    for (const QString &octet : octets)
        dotted = dotted && !octet.isEmpty() && octet.size() <= 3
                 && std::all_of(octet.begin(), octet.end(),
                                [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (dotted) {
        check(field.size == 15 && field.chars[3] == U'.' && field.chars[7] == U'.'
              && field.chars[11] == U'.');
        std::u32string compact(field.view());
        std::erase(compact, U' ');
        check(compact == value);
    }

    // Octet alignment never drops a character.
    const QString group = test::qtString(std::u32string_view(window).substr(0, size % 6));
    const QString aligned = MyOctet(group);
    check(aligned.endsWith(group));
    return 0;
}
