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
