// kelto-cli: the host table of a DHCP server's dhcpsrv.ini for scripts and remote
// shells. It lists, searches and checks the table, looks up host numbers exactly as the
// window does, and finds the free addresses of the server's pools.

#include "commands.h"
#include "configfile.h"
#include "outputfile.h"
#include "terminal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QThread>
#include <QBuffer>

#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

using namespace kelto;

namespace {

constexpr QLatin1StringView DefaultFile("dhcpsrv.ini");
constexpr QLatin1StringView StandardInput("-");
// Where the server's file usually is, on the system the help is read on.
#ifdef Q_OS_WIN
constexpr QLatin1StringView ExamplePath("C:\\dhcpsrv\\dhcpsrv.ini");
#else
constexpr QLatin1StringView ExamplePath("/srv/dhcp/dhcpsrv.ini");
#endif

int outputError(const Utf8Output &out)
{
    printError(QStringLiteral("cannot write the output: %1").arg(out.errorString()));
    return OutputError;
}

int usageError(const QString &message)
{
    printError(message);
    std::fputs("Try 'kelto-cli --help' for more information.\n", stderr);
    return UsageError;
}

// The number of single-character edits that turn `a` into `b`.
qsizetype editDistance(QStringView a, QStringView b)
{
    std::vector<qsizetype> previous(size_t(b.size() + 1));
    std::vector<qsizetype> current(previous.size());
    for (qsizetype j = 0; j <= b.size(); ++j)
        previous[size_t(j)] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j)
            current[size_t(j)] = std::min({previous[size_t(j)] + 1, current[size_t(j - 1)] + 1,
                                           previous[size_t(j - 1)] + (a[i - 1] != b[j - 1])});
        std::swap(previous, current);
    }
    return previous[size_t(b.size())];
}

// ": did you mean 'list'?" for the nearest of `candidates` within two edits, else "".
QString suggestion(const QString &word, const QStringList &candidates)
{
    constexpr qsizetype ShortestGuess = 3; // "-x" or "ls" is too short to guess from
    if (word.size() < ShortestGuess)
        return {};
    QString best;
    qsizetype bestDistance = std::min<qsizetype>(2, word.size() - 1);
    for (const QString &candidate : candidates) {
        // Letter case aside: LIST is list typed with Caps Lock on.
        const qsizetype distance = editDistance(word.toLower(), candidate.toLower());
        if (distance <= bestDistance && (best.isEmpty() || distance < bestDistance)) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best.isEmpty() ? QString() : QStringLiteral(": did you mean '%1'?").arg(best);
}

// An option's name as it is typed: "-x", "--format".
QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Qt's own parse errors in the style of ours: "Unknown option 'x'." becomes
// "unknown option '-x'", with a suggestion when an option is near.
QString parseError(const QCommandLineParser &parser, const QList<QCommandLineOption> &options)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.size() == 1) {
        QStringList names;
        for (const QCommandLineOption &option : options) {
            for (const QString &name : option.names())
                names << dashed(name);
        }
        const QString option = dashed(unknown.front());
        return QStringLiteral("unknown option '%1'").arg(option)
               + (option.size() > 2 ? suggestion(option, names) : QString());
    }
    QString text = parser.errorText();
    if (text.endsWith(u'.'))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

QStringList formatNames(const Command &command)
{
    QStringList names;
    for (const Format format : command.formats)
        names << formatName(format);
    return names;
}

// The help's description, from the command table.
QString description()
{
    QString text = QStringLiteral(
        "Reads the host table of a DHCP server's dhcpsrv.ini (one fixed-width row per client,\n"
        "sorted by address) and answers questions about it.\n\nCommands:\n");
    constexpr qsizetype HelpColumn = 20;
    for (const Command &command : commands()) {
        QString head = QStringLiteral("  ") + command.name;
        if (command.runFiles)
            head += QLatin1StringView(command.mostFiles == 2 ? " OLD NEW" : " FILE...");
        else if (!command.argument.isEmpty())
            head += u' ' + QString(command.argument).toUpper() + QStringLiteral("...");
        const QStringList lines = QString(command.help).split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i)
            text += (i == 0 ? head : QString()).leftJustified(HelpColumn) + lines[i] + u'\n';
    }
    text += QStringLiteral("  help").leftJustified(HelpColumn) + QStringLiteral("this help\n");
    text += QStringLiteral("\nFormats (--format), the first the default:\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1: %2\n").arg(command.name, formatNames(command).join(u' '));
    text += QStringLiteral(
        "\nExit status: 0 success; 1 a number or text was not found, check or compare has\n"
        "findings, diff found changes, or a pool has no free address; 2 a file could not be\n"
        "read to its end; 64 usage error; 74 output error. check follows the\n"
        "monitoring-plugin convention (0 OK, 1 WARNING, 2 CRITICAL).\n"
        "\n"
        "Examples:\n"
        "  kelto-cli check -f ")
        + QLatin1StringView(ExamplePath)
        + QStringLiteral("\n"
                         "  kelto-cli find nas 00:1a:2b\n"
                         "  kelto-cli list --format csv > hosts.csv\n"
                         "  kelto-cli diff yesterday/dhcpsrv.ini dhcpsrv.ini");
    return text;
}

// The arguments as given. On POSIX systems they are bytes, and a file name need not be
// UTF-8: its other bytes are kept as decodeFileName() keeps them, so that the file
// opened is exactly the one named.
QStringList argumentsOf(int argc, char *argv[])
{
#ifdef Q_OS_UNIX
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << decodeFileName(argv[i]);
    return arguments;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return QCoreApplication::arguments();
#endif
}

// A size given to --max-input: "4G", "1M", "512K" or a number of bytes, at least 1.
struct SizeArgument
{
    std::optional<qint64> bytes; // nothing when it is no size or larger than the most
    bool tooLarge = false;
};

SizeArgument readSize(QStringView text, qint64 most)
{
    static const QString Units = QStringLiteral("KMG");
    const qsizetype unit = text.isEmpty() ? -1 : Units.indexOf(text.back().toUpper());
    const QStringView digits = unit < 0 ? text : text.chopped(1);
    const qint64 scale = qint64(1) << (10 * (unit + 1));
    qint64 number = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return {};
        // Digit by digit, stopping past the most: no number of digits overflows.
        number = number * 10 + (c.unicode() - u'0');
        if (number > most / scale)
            return {std::nullopt, true};
    }
    if (digits.isEmpty() || number == 0)
        return {};
    return {number * scale};
}

// Text for standard output, such as the help; the exit status.
int printText(const QString &text)
{
    Utf8Output out(stdout);
    out << QStringView(text);
    if (!out.flush())
        return outputError(out);
    return Success;
}

ScanResult scan(const Options &options, const QString &file)
{
    const ScanScope scope = scopeOf(options);
    if (file == StandardInput)
        return scanStandardInput(scope, options.sizeLimit);
    return scanFile(file, scope, options.sizeLimit);
}

// The scans of `files`, each on a thread of its own: diff and compare read two or more
// large files, and a scan keeps one core busy.
std::vector<ScanResult> scanAll(const Options &options, const QStringList &files)
{
    std::vector<ScanResult> results(size_t(files.size()));
    const auto scanOne = [&](qsizetype i) {
        try {
            results[size_t(i)] = scan(options, files[i]);
        } catch (const std::bad_alloc &) {
            results[size_t(i)].failure = ScanFailure::outOfMemory();
        }
    };
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 1; i < files.size(); ++i) {
        threads.emplace_back(QThread::create(scanOne, i));
        threads.back()->start();
    }
    scanOne(0);
    for (const std::unique_ptr<QThread> &thread : threads)
        thread->wait();
    return results;
}

// The files a command reads: its arguments, or the one of -f.
QStringList filesOf(const Options &options)
{
    return options.command->runFiles ? options.arguments : QStringList{options.file};
}

// Why the files given to diff or compare cannot be read as given; empty when they can.
QString fileArgumentsProblem(const Command &command, const QStringList &files)
{
    if (files.size() < 2 || (command.mostFiles > 0 && files.size() > command.mostFiles))
        return command.mostFiles == 2
                   ? QStringLiteral("%1 takes two files, OLD and NEW").arg(command.name)
                   : QStringLiteral("%1 needs two or more files").arg(command.name);
    if (files.count(StandardInput) > 1)
        return QStringLiteral("standard input (-) can be read only once");
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString canonical = QFileInfo(files[i]).canonicalFilePath();
        for (qsizetype j = 0; j < i && !canonical.isEmpty(); ++j) {
            if (QFileInfo(files[j]).canonicalFilePath() == canonical)
                return QStringLiteral("%1 and %2 are the same file").arg(files[j], files[i]);
        }
    }
    return {};
}

// The scan and the command's output, to standard output or, with --output, to a file
// that replaces the one there only once it is whole; exit status.
int run(Options &options, const QString &outputPath)
{
    const bool plugin = options.command->monitoringPlugin;
    // A file that cannot be written is told before the file is read, and the old one
    // stays as it was.
    QString problem;
    if (!outputPath.isEmpty() && !canReplaceFile(outputPath, problem)) {
        printError(QStringLiteral("cannot write %1: %2").arg(outputPath, problem));
        return plugin ? Unknown : OutputError;
    }
    const QStringList files = filesOf(options);
    std::vector<ScanResult> results = scanAll(options, files);
    try {
        bool complete = true;
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (!results[size_t(i)].isComplete()) {
                printError(QStringLiteral("%1: %2").arg(files[i], results[size_t(i)].failure->description()));
                complete = false;
            }
        }
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        Utf8Output out = outputPath.isEmpty() ? Utf8Output(stdout) : Utf8Output(&buffer);
        const int status = options.command->runFiles
                               ? options.command->runFiles(options, results, out)
                               : options.command->run(options, results.front(), out);
        if (!out.flush()) {
            printError(QStringLiteral("cannot write the output: %1").arg(out.errorString()));
            return plugin ? Unknown : OutputError;
        }
        if (!outputPath.isEmpty() && !replaceFile(outputPath, buffer.data(), problem)) {
            printError(QStringLiteral("cannot write %1: %2").arg(outputPath, problem));
            return plugin ? Unknown : OutputError;
        }
        return complete || plugin ? status : ScanFailed;
    } catch (const std::bad_alloc &) {
        // The rows of a scan that ran out of memory may not leave enough to show them.
        results = {};
        std::fputs("kelto-cli: not enough memory to write the output\n", stderr);
        return plugin ? Unknown : ScanFailed;
    }
}

// The IEEE registry's lists, each line that cannot be read counted on standard error.
VendorRegistry readVendors(const QString &ouiDir)
{
    VendorRegistry vendors = VendorRegistry::readFolder(vendorListFolder(ouiDir));
    for (const VendorRegistry::Skipped &skipped : vendors.skipped())
        printError(QStringLiteral("%1 %2 of %3 could not be read")
                       .arg(skipped.lines)
                       .arg(QLatin1StringView(skipped.lines == 1 ? "line" : "lines"), skipped.file));
    return vendors;
}

// The time that --now gives: seconds since 1970, or an ISO 8601 date and time (UTC
// unless it names its offset).
std::optional<qint64> readTime(const QString &text)
{
    bool number = false;
    const qint64 seconds = text.toLongLong(&number);
    if (number && seconds >= 0)
        return seconds;
    QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeSpec(Qt::UTC);
    return time.toSecsSinceEpoch();
}

// A whole number from 0 to `most`, as --warning (with an optional "%") and --warn-count
// take it.
std::optional<quint32> readCount(QString text, quint32 most, bool percent)
{
    if (percent && text.endsWith(u'%'))
        text.chop(1);
    bool ok = false;
    const uint value = text.toUInt(&ok);
    if (!ok || value > most || text.startsWith(u'+'))
        return std::nullopt;
    return quint32(value);
}

} // namespace

int main(int argc, char *argv[])
{
    prepareStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelto-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const QList<QCommandLineOption> options = {
        {{QStringLiteral("f"), QStringLiteral("file")},
         QStringLiteral("The configuration file (\"-\": standard input)."),
         QStringLiteral("PATH"),
         DefaultFile},
        {QStringLiteral("format"), QStringLiteral("Output format, as listed under Formats."),
         QStringLiteral("FORMAT")},
        {QStringLiteral("max-input"),
         QStringLiteral("Read no more than SIZE bytes (suffix K, M or G); default and most 4G."),
         QStringLiteral("SIZE")},
        {QStringLiteral("now"),
         QStringLiteral("Judge leases at TIME (ISO 8601, or seconds since 1970); default now."),
         QStringLiteral("TIME")},
        {QStringLiteral("warning"), QStringLiteral("pools: WARNING at a use of PERCENT or more."),
         QStringLiteral("PERCENT")},
        {QStringLiteral("critical"), QStringLiteral("pools: CRITICAL at a use of PERCENT or more."),
         QStringLiteral("PERCENT")},
        {QStringLiteral("warn-count"), QStringLiteral("pools: WARNING at N free addresses or fewer."),
         QStringLiteral("N")},
        {QStringLiteral("crit-count"), QStringLiteral("pools: CRITICAL at N free addresses or fewer."),
         QStringLiteral("N")},
        {QStringLiteral("oui-dir"),
         QStringLiteral("Read the IEEE registry's lists (oui.csv, mam.csv, oui36.csv, iab.csv) "
                        "from DIR; default $KELTO_OUI_DIR, else the installed ones."),
         QStringLiteral("DIR")},
        {QStringLiteral("vendor"), QStringLiteral("find: look for the texts in vendor names too.")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("Write to FILE, replacing it only once the output is whole."),
         QStringLiteral("FILE")},
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Prints this help.")},
        {{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Prints the version.")},
    };
    const QCommandLineOption &fileOption = options[0];
    const QCommandLineOption &formatOption = options[1];
    const QCommandLineOption &maxInputOption = options[2];
    const QCommandLineOption &nowOption = options[3];
    const QCommandLineOption &ouiDirOption = options[8];
    const QCommandLineOption &vendorOption = options[9];
    const QCommandLineOption &outputOption = options[10];
    parser.addOptions(options);
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("list, lookup, find, check, free, pools, diff, compare or help"));
    parser.addPositionalArgument(
        QStringLiteral("argument"),
        QStringLiteral("Host numbers for lookup, texts for find, files for diff and compare."),
                                 QStringLiteral("[ARGUMENT...]"));

    if (!parser.parse(argumentsOf(argc, argv)))
        return usageError(parseError(parser, options));
    // "kelto-cli help", as "git help", is the help too, and "kelto-cli /?", as Windows
    // programs take it.
    const QString first = parser.positionalArguments().value(0);
    const bool helpCommand = first == QLatin1StringView("help") || first == QLatin1StringView("/?");
    if (parser.isSet(QStringLiteral("help")) || helpCommand) {
        QString help = parser.helpText();
        help.replace(0, help.indexOf(u'['), QStringLiteral("Usage: kelto-cli "));
        return printText(help);
    }
    if (parser.isSet(QStringLiteral("version")))
        return printText(QStringLiteral("kelto-cli " KELTO_VERSION "\n%1\n")
                             .arg(vendorListsNote(vendorListFolder(parser.value(ouiDirOption)))));

    Options chosen;
    QStringList positional = parser.positionalArguments();
    const QString name = positional.isEmpty() ? QString() : positional.takeFirst();
    QStringList names;
    for (const Command &command : commands()) {
        names << command.name;
        if (command.name == name)
            chosen.command = &command;
    }
    if (name.isEmpty())
        return usageError(QStringLiteral("no command given"));
    if (!chosen.command)
        return usageError(
            QStringLiteral("unknown command '%1'%2").arg(name, suggestion(name, names)));
    const Command &command = *chosen.command;
    chosen.arguments = positional;
    chosen.file = parser.value(fileOption);

    if (command.runFiles && parser.isSet(fileOption))
        return usageError(QStringLiteral("%1 takes its files as arguments, not -f").arg(name));
    if (command.runFiles) {
        if (const QString problem = fileArgumentsProblem(command, chosen.arguments); !problem.isEmpty())
            return usageError(problem);
    }
    if (command.argument.isEmpty() && !chosen.arguments.isEmpty())
        return usageError(QStringLiteral("%1 takes no arguments").arg(name));
    if (!command.argument.isEmpty() && chosen.arguments.isEmpty())
        return usageError(
            QStringLiteral("%1 needs at least one %2").arg(name, QString(command.argument)));
    if (chosen.arguments.contains(QString()))
        return usageError(
            QStringLiteral("an empty %1 is not allowed").arg(QString(command.argument)));
    chosen.format = command.formats.front();
    if (parser.isSet(formatOption)) {
        const QString format = parser.value(formatOption);
        const QStringList known = formatNames(command);
        if (!known.contains(format)) {
            const QString hint = suggestion(format, known);
            return usageError(
                QStringLiteral("unknown format '%1' for %2%3")
                    .arg(format, name,
                         hint.isEmpty()
                             ? QStringLiteral(": use %1").arg(known.join(QStringLiteral(", ")))
                             : hint));
        }
        chosen.format = command.formats[size_t(known.indexOf(format))];
    }
    if (parser.isSet(maxInputOption)) {
        const QString value = parser.value(maxInputOption);
        const SizeArgument limit = readSize(value, DefaultSizeLimit);
        if (limit.tooLarge)
            return usageError(
                QStringLiteral("--max-input %1 is larger than %2G, the most a scan can read")
                    .arg(value)
                    .arg(DefaultSizeLimit >> 30));
        if (!limit.bytes)
            return usageError(QStringLiteral("not a size: %1").arg(value));
        chosen.sizeLimit = *limit.bytes;
    }
    chosen.now = QDateTime::currentSecsSinceEpoch();
    if (parser.isSet(nowOption)) {
        const std::optional<qint64> now = readTime(parser.value(nowOption));
        if (!now)
            return usageError(QStringLiteral("not a time: %1 (ISO 8601, such as "
                                             "2026-12-07T14:05:00Z, or seconds since 1970)")
                                  .arg(parser.value(nowOption)));
        chosen.now = *now;
    }
    PoolThresholds &thresholds = chosen.thresholds;
    for (size_t i = 4; i <= 7; ++i) {
        const QCommandLineOption &option = options[qsizetype(i)];
        if (!parser.isSet(option))
            continue;
        const QString name = QStringLiteral("--") + option.names().front();
        if (!command.monitoringPlugin)
            return usageError(QStringLiteral("%1 is an option of pools").arg(name));
        const bool percent = i <= 5;
        const std::optional<quint32> value
            = readCount(parser.value(option), percent ? 100 : std::numeric_limits<quint32>::max(), percent);
        if (!value)
            return usageError(QStringLiteral("%1 %2: %3 expected")
                                  .arg(name, parser.value(option),
                                       percent ? QStringLiteral("a percentage from 0 to 100")
                                               : QStringLiteral("a number of addresses")));
        if (i == 4)
            thresholds.warningPercent = int(*value);
        else if (i == 5)
            thresholds.criticalPercent = int(*value);
        else if (i == 6)
            thresholds.warningFree = *value;
        else
            thresholds.criticalFree = *value;
    }
    if (thresholds.warningPercent && thresholds.criticalPercent
        && *thresholds.warningPercent > *thresholds.criticalPercent)
        return usageError(QStringLiteral("--warning %1 is above --critical %2")
                              .arg(*thresholds.warningPercent)
                              .arg(*thresholds.criticalPercent));
    if (thresholds.warningFree && thresholds.criticalFree
        && *thresholds.warningFree < *thresholds.criticalFree)
        return usageError(QStringLiteral("--warn-count %1 is below --crit-count %2")
                              .arg(*thresholds.warningFree)
                              .arg(*thresholds.criticalFree));
    if (parser.isSet(vendorOption)) {
        if (name != QLatin1StringView("find"))
            return usageError(QStringLiteral("--vendor is an option of find"));
        chosen.searchVendors = true;
    }
    if (usesVendors(chosen))
        chosen.vendors = readVendors(parser.value(ouiDirOption));
    return run(chosen, parser.value(outputOption));
}
