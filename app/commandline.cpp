#include "commandline.h"

#include "text.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace commandline {

using kelto::isBlank;

QString argumentTextOf(QStringView commandLine)
{
    qsizetype i = 0;
    if (commandLine.startsWith(u'"')) {
        const qsizetype close = commandLine.indexOf(u'"', 1);
        i = close < 0 ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && !isBlank(commandLine[i]))
        ++i;
    while (i < commandLine.size() && isBlank(commandLine[i]))
        ++i;
    return commandLine.sliced(i).toString();
}

QString argumentTextOf(const QStringList &arguments)
{
    return arguments.mid(1).join(u' ');
}

StartUp readStartUp(QStringView argumentText)
{
    constexpr QStringView Watch(u"--watch");
    StartUp startUp;
    if (argumentText == Watch
        || (argumentText.startsWith(Watch) && isBlank(argumentText[Watch.size()]))) {
        startUp.watch = true;
        argumentText = argumentText.sliced(Watch.size());
        while (!argumentText.isEmpty() && isBlank(argumentText.front()))
            argumentText = argumentText.sliced(1);
    }
    if (!argumentText.isEmpty())
        startUp.path = argumentText.toString().remove(u'"');
    return startUp;
}

QString argumentText(int argc, char *argv[])
{
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return argumentTextOf(QStringView(reinterpret_cast<const char16_t *>(::GetCommandLineW())));
#else
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return argumentTextOf(arguments);
#endif
}

} // namespace commandline
