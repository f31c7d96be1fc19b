#pragma once

#include <QLatin1StringView>
#include <QString>

#include <array>

namespace kelto {

// C0 and C1 control characters and DEL.
bool isControlCharacter(char16_t c);

// A message for a terminal: control characters written as check writes them in its
// text (\n, \t, \u001b), and the bytes of a file name that are not UTF-8 as \xe9, so
// that nothing read from a file or a path can drive the terminal.
QString escapeForTerminal(QStringView text);

// "kelto-cli: " and the message, escaped for the terminal, on standard error. Messages
// name paths and quote the file's text.
void printError(const QString &message);

// How a control character is written escaped, as JSON writes it: \n, \r, \t, else
// \u001b.
using ControlEscapeBuffer = std::array<char, sizeof "\\u0000">;
QLatin1StringView controlEscape(char16_t c, ControlEscapeBuffer &buffer);

} // namespace kelto
