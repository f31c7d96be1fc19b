#include "commandline.h"

#include "text.h"

#include <algorithm>

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

namespace {

// Whether `text` starts with the option `name` as a word of its own; if so, `text` is
// left after it and the blanks that follow.
bool takeOption(QStringView &text, QStringView name)
{
    if (!text.startsWith(name) || (text.size() > name.size() && !isBlank(text[name.size()])))
        return false;
    text = text.sliced(name.size());
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return true;
}

// The next word of `text`, or the text in double quotes, which `text` is left after.
QString takeWord(QStringView &text)
{
    const bool quoted = text.startsWith(u'"');
    const qsizetype end = quoted ? text.indexOf(u'"', 1)
                                 : std::find_if(text.begin(), text.end(), [](QChar c) { return isBlank(c); })
                                       - text.begin();
    const qsizetype stop = end < 0 ? text.size() : end;
    QString word = text.sliced(quoted ? 1 : 0, stop - (quoted ? 1 : 0)).toString();
    text = text.sliced(std::min(text.size(), stop + (quoted ? 1 : 0)));
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return word;
}

} // namespace

StartUp readStartUp(QStringView argumentText)
{
    StartUp startUp;
    for (;;) {
        if (takeOption(argumentText, u"--watch"))
            startUp.watch = true;
        else if (takeOption(argumentText, u"--oui-dir"))
            startUp.ouiDir = takeWord(argumentText);
        else
            break;
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
