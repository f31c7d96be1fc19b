#include "terminal.h"

#include <cstdio>

namespace kelto {

QLatin1StringView controlEscape(char16_t c, ControlEscapeBuffer &buffer)
{
    switch (c) {
    case u'\n':
        return QLatin1StringView("\\n");
    case u'\r':
        return QLatin1StringView("\\r");
    case u'\t':
        return QLatin1StringView("\\t");
    default:
        std::snprintf(buffer.data(), buffer.size(), "\\u%04x", unsigned(c));
        return QLatin1StringView(buffer.data());
    }
}

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0);
}

void printError(const QString &message)
{
    std::fprintf(stderr, "kelto-cli: %s\n", escapeForTerminal(message).toUtf8().constData());
}

QString escapeForTerminal(QStringView text)
{
    QString escaped;
    escaped.reserve(text.size());
    std::array<char, sizeof "\\u0000"> buffer;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool pairedLow = QChar::isLowSurrogate(c) && i > 0 && text[i - 1].isHighSurrogate();
        const bool pairedHigh
            = QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (isControlCharacter(c)) {
            escaped += controlEscape(c, buffer);
        } else if (QChar::isSurrogate(c) && !pairedLow && !pairedHigh) {
            // A byte of a file name that is not UTF-8 is kept as U+DC80-U+DCFF.
            const bool byte = c >= 0xDC80 && c <= 0xDCFF;
            std::snprintf(buffer.data(), buffer.size(), byte ? "\\x%02x" : "\\u%04x",
                          unsigned(byte ? c - 0xDC00 : c));
            escaped += QLatin1StringView(buffer.data());
        } else {
            escaped += QChar(c);
        }
    }
    return escaped;
}

} // namespace kelto
