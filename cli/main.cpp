// kelto-cli: the host table of a DHCP server's dhcpsrv.ini for scripts and remote
// shells. It lists the table or looks up host numbers exactly as the window does.

#include "lookup.h"
#include "output.h"
#include "scan.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace kelto;

namespace {

// Exit statuses.
constexpr int AllFound = 0;
constexpr int SomeNotFound = 1;
constexpr int ScanFailed = 2;
constexpr int UsageError = 64; // as sysexits.h
constexpr int OutputError = 74;

constexpr QLatin1StringView DefaultFile("dhcpsrv.ini");
constexpr QLatin1StringView StandardInput("-");

struct Options
{
    QString command;
    QStringList numbers;
    QString file;
    bool json = false;
};

void printError(const QString &message)
{
    std::fprintf(stderr, "kelto-cli: %s\n", qPrintable(message));
}

int usageError(const QCommandLineParser &parser, const QString &message)
{
    printError(message);
    std::fputs(qPrintable(parser.helpText()), stderr);
    return UsageError;
}

ScanResult scan(const QString &file)
{
    if (file != StandardInput)
        return scanFile(file);
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        ScanResult result;
        result.failure = ScanFailure{ScanFailure::Cause::CannotOpen, input.errorString()};
        return result;
    }
    return scanDevice(input);
}

int list(const Options &options, const ScanResult &result, Utf8Output &out)
{
    if (options.json)
        writeJson(out, options.file, result);
    else
        writeRows(out, result.table);
    return AllFound;
}

int lookUp(const Options &options, const ScanResult &result, Utf8Output &out)
{
    int status = AllFound;
    for (const QString &typed : options.numbers) {
        const LookupResult found = lookup(result.table, alignHostNumber(typed));
        if (found.row < 0)
            status = SomeNotFound;
        out << found.shown.address << '\t' << found.shown.hostName << '\t' << found.shown.mac
            << '\n';
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelto-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Lists the host table of a DHCP server's dhcpsrv.ini, one fixed-width row per client\n"
        "sorted by address, or looks up host numbers (the last octet) in it.\n"
        "\n"
        "Commands:\n"
        "  list              every row; \"* \" marks a row that repeats the address above it\n"
        "  lookup NUMBER...  address, host name and MAC of the first row for each number,\n"
        "                    separated by tabs\n"
        "\n"
        "Exit status: 0 success, 1 a number was not found, 2 the file could not be read\n"
        "to its end, 64 usage error, 74 output error."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption fileOption(
        {QStringLiteral("f"), QStringLiteral("file")},
        QStringLiteral("The configuration file (\"-\": standard input)."), QStringLiteral("PATH"),
        DefaultFile);
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("Output of list: rows or json."),
                                          QStringLiteral("FORMAT"), QStringLiteral("rows"));
    parser.addOption(fileOption);
    parser.addOption(formatOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list or lookup"));
    parser.addPositionalArgument(QStringLiteral("number"),
                                 QStringLiteral("Host numbers, for lookup."),
                                 QStringLiteral("[NUMBER...]"));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser, parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return AllFound;
    }
    if (parser.isSet(versionOption)) {
        std::printf("kelto-cli %s\n", KELTO_VERSION);
        return AllFound;
    }

    Options options;
    QStringList positional = parser.positionalArguments();
    options.command = positional.isEmpty() ? QString() : positional.takeFirst();
    options.numbers = positional;
    options.file = parser.value(fileOption);
    const QString format = parser.value(formatOption);
    options.json = format == QLatin1StringView("json");

    if (options.command != QLatin1StringView("list")
        && options.command != QLatin1StringView("lookup"))
        return usageError(parser, options.command.isEmpty()
                                      ? QStringLiteral("no command given")
                                      : QStringLiteral("unknown command: %1").arg(options.command));
    if (format != QLatin1StringView("rows") && !options.json)
        return usageError(parser, QStringLiteral("unknown format: %1").arg(format));
    if (options.command == QLatin1StringView("list") && !options.numbers.isEmpty())
        return usageError(parser, QStringLiteral("list takes no numbers"));
    if (options.command == QLatin1StringView("lookup") && options.numbers.isEmpty())
        return usageError(parser, QStringLiteral("lookup needs at least one number"));
    if (options.command == QLatin1StringView("lookup") && parser.isSet(formatOption))
        return usageError(parser, QStringLiteral("--format goes with list"));

    const ScanResult result = scan(options.file);
    if (!result.isComplete())
        printError(QStringLiteral("%1: %2").arg(options.file, result.failure->description()));

    Utf8Output out(stdout);
    int status = options.command == QLatin1StringView("list") ? list(options, result, out)
                                                              : lookUp(options, result, out);
    if (!out.flush()) {
        printError(QStringLiteral("cannot write the output"));
        return OutputError;
    }
    return result.isComplete() ? status : ScanFailed;
}
