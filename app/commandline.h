#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The command-line argument text: the part of the command line after the program's own
// name, as one text.
namespace commandline {

// From a whole command line as Windows hands it over: the program's name (in double
// quotes or up to the first blank) and the blanks after it are dropped; the rest is kept
// exactly, quotes and inner spaces included.
QString argumentTextOf(QStringView commandLine);

// Where the system hands over a list of arguments instead: the arguments after the
// program's name, joined by single spaces.
QString argumentTextOf(const QStringList &arguments);

// What the argument text asks of the window: the path, without its double quotes (none
// when the text is empty), and before it, in any order, whether to read the file again
// whenever it changes ("--watch") and where the vendor lists are ("--oui-dir DIR", DIR
// in double quotes when it holds blanks).
struct StartUp
{
    std::optional<QString> path;
    bool watch = false;
    QString ouiDir;
};
StartUp readStartUp(QStringView argumentText);

// This process's argument text, the platform's way: from the arguments of main(), or on
// Windows from the command line itself.
QString argumentText(int argc, char *argv[]);

} // namespace commandline
