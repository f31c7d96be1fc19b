// kelto-cli: the host table of a DHCP server's dhcpsrv.ini for scripts and remote
// shells. It lists, searches and checks the table, looks up host numbers exactly as the
// window does, and finds the free addresses of the server's pools.

#include "configfile.h"
#include "health.h"
#include "lookup.h"
#include "output.h"
#include "pools.h"
#include "reports.h"
#include "scan.h"
#include "search.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace kelto;

namespace {

// Exit statuses. check follows the monitoring-plugin convention: 0 nothing to report,
// 1 findings, 2 the file could not be read.
constexpr int Success = 0;
constexpr int NotFound = 1; // lookup, find; findings for check; a pool without free address
constexpr int ScanFailed = 2;
constexpr int UsageError = 64; // as sysexits.h
constexpr int OutputError = 74;

constexpr QLatin1StringView DefaultFile("dhcpsrv.ini");
constexpr QLatin1StringView StandardInput("-");

enum class Format { Rows, Text, Json };

// What each command takes: its output formats (the first is the default) and, if any,
// the name of its arguments.
struct Command
{
    QLatin1StringView name;
    std::vector<std::pair<QLatin1StringView, Format>> formats;
    QLatin1StringView arguments; // empty: the command takes none
    ScanScope scope = ScanScope::Table;
};

const std::vector<Command> &commands()
{
    static const std::vector<Command> all = {
        {QLatin1StringView("list"),
         {{QLatin1StringView("rows"), Format::Rows}, {QLatin1StringView("json"), Format::Json}},
         {},
         ScanScope::Table},
        {QLatin1StringView("lookup"), {}, QLatin1StringView("number"), ScanScope::Table},
        {QLatin1StringView("find"),
         {{QLatin1StringView("rows"), Format::Rows}, {QLatin1StringView("json"), Format::Json}},
         QLatin1StringView("text"),
         ScanScope::Table},
        {QLatin1StringView("check"),
         {{QLatin1StringView("text"), Format::Text}, {QLatin1StringView("json"), Format::Json}},
         {},
         ScanScope::TableAndFacts},
        {QLatin1StringView("free"),
         {{QLatin1StringView("text"), Format::Text}, {QLatin1StringView("json"), Format::Json}},
         {},
         ScanScope::TableAndFacts},
    };
    return all;
}

struct Options
{
    const Command *command = nullptr;
    QStringList arguments;
    QString file;
    Format format = Format::Rows;
    qint64 sizeLimit = DefaultSizeLimit;
};

// Messages name paths and quote the file's text: both are escaped for the terminal.
void printError(const QString &message)
{
    std::fprintf(stderr, "kelto-cli: %s\n", escapeForTerminal(message).toUtf8().constData());
}

int usageError(const QCommandLineParser &parser, const QString &message)
{
    printError(message);
    std::fputs(qPrintable(parser.helpText()), stderr);
    return UsageError;
}

ScanResult scan(const Options &options)
{
    const ScanScope scope = options.command->scope;
    if (options.file == StandardInput)
        return scanStandardInput(scope, options.sizeLimit);
    return scanFile(options.file, scope, options.sizeLimit);
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

// "4G", "1M", "512K" or a number of bytes; nothing for anything else.
std::optional<qint64> readSize(const QString &text)
{
    static const QString Units = QStringLiteral("KMG");
    const qsizetype unit = text.isEmpty() ? -1 : Units.indexOf(text.back().toUpper());
    bool ok = false;
    const qint64 number = (unit < 0 ? text : text.chopped(1)).toLongLong(&ok);
    if (!ok || number <= 0 || number > (qint64(1) << 40))
        return std::nullopt;
    return number << (10 * (unit + 1));
}

int list(const Options &options, const ScanResult &result, Utf8Output &out)
{
    if (options.format == Format::Json)
        writeJson(out, options.file, result);
    else
        writeRows(out, result.table);
    return Success;
}

int lookUp(const Options &options, const ScanResult &result, Utf8Output &out)
{
    int status = Success;
    for (const QString &typed : options.arguments) {
        const LookupResult found = lookup(result.table, alignHostNumber(typed));
        if (found.row < 0)
            status = NotFound;
        out << found.shown.address << '\t' << found.shown.hostName << '\t' << found.shown.mac
            << '\n';
    }
    return status;
}

int find(const Options &options, const ScanResult &result, Utf8Output &out)
{
    const HostSearch search(options.arguments);
    bool matched = false;
    const RowFilter keep = [&search, &matched](const HostRow &row) {
        const bool match = search.matches(row);
        matched = matched || match;
        return match;
    };
    if (options.format == Format::Json)
        writeJson(out, options.file, result, keep);
    else
        writeRows(out, result.table, keep);
    return matched ? Success : NotFound;
}

// A scan that did not complete leaves out rows, so findings and free addresses would be
// wrong: check and free report only the failure.
int check(const Options &options, ScanResult &result, Utf8Output &out)
{
    if (!result.isComplete())
        return ScanFailed;
    const HealthReport report = checkHealth(result.table, result.facts);
    if (options.format == Format::Json)
        writeHealthJson(out, options.file, result.table, result.facts.macKeys, report);
    else
        writeHealthText(out, result.table, result.facts.macKeys, report);
    return report.isEmpty() ? Success : NotFound;
}

int listFree(const Options &options, const ScanResult &result, Utf8Output &out)
{
    if (!result.isComplete())
        return ScanFailed;
    std::vector<AddressPool> pools;
    std::vector<PoolReport> reports;
    for (PoolReading &reading : readPools(result.facts)) {
        if (!reading.pool) {
            printError(QStringLiteral("%1: line %2: %3: %4, skipped")
                           .arg(options.file)
                           .arg(reading.setting->line)
                           .arg(reading.setting->name, reading.problem));
            continue;
        }
        PoolReport report{reading.setting, reading.value, {}, {}};
        for (const KeyLine &address : result.facts.templateAddresses) {
            if (mayAssignInto(address.text, *reading.pool))
                report.templates.push_back(address);
        }
        pools.push_back(*reading.pool);
        reports.push_back(std::move(report));
    }
    std::vector<std::vector<AddressRange>> free
        = freeAddresses(pools, result.table, result.facts.heldAddresses);
    for (size_t i = 0; i < reports.size(); ++i)
        reports[i].free = std::move(free[i]);

    if (options.format == Format::Json)
        writeFreeJson(out, options.file, reports);
    else
        writeFreeText(out, reports);
    if (reports.empty())
        printError(QStringLiteral("%1: no address pool (IPPOOL_n= in [SETTINGS]) to read")
                       .arg(options.file));
    const bool exhausted = std::any_of(reports.begin(), reports.end(),
                                       [](const PoolReport &r) { return r.free.empty(); });
    return reports.empty() || exhausted ? NotFound : Success;
}

int run(const Options &options, ScanResult &result, Utf8Output &out)
{
    const QLatin1StringView name = options.command->name;
    if (name == QLatin1StringView("list"))
        return list(options, result, out);
    if (name == QLatin1StringView("lookup"))
        return lookUp(options, result, out);
    if (name == QLatin1StringView("find"))
        return find(options, result, out);
    if (name == QLatin1StringView("check"))
        return check(options, result, out);
    return listFree(options, result, out);
}

const QString Description = QStringLiteral(
    "Reads the host table of a DHCP server's dhcpsrv.ini (one fixed-width row per client,\n"
    "sorted by address) and answers questions about it.\n"
    "\n"
    "Commands:\n"
    "  list              every row; \"* \" marks a row that repeats the address above it\n"
    "  lookup NUMBER...  address, host name and MAC of the first row for each host\n"
    "                    number (the last octet), separated by tabs\n"
    "  find TEXT...      the rows, as list shows them, whose address, host name or MAC\n"
    "                    contains any TEXT, letter case aside; a TEXT of four or more hex\n"
    "                    digits written as (part of) a MAC matches it in any notation\n"
    "                    (find 1a:2b finds 00-1A-2B-33-44-55)\n"
    "  check             reservation health, one line per finding: an address held by\n"
    "                    more than one client, a MAC heading more than one section, a host\n"
    "                    name on more than one MAC, an address value that is not a dotted\n"
    "                    IPv4 address, an address key the server reads but the table does\n"
    "                    not (IpAddr=, IPADDR = ), a file with no [SETTINGS] and no client\n"
    "                    section; prints nothing when all is well\n"
    "  free              for each pool IPPOOL_n= of [SETTINGS] ($(Section\\Key) references\n"
    "                    replaced), the addresses no client holds (192.168.10.24-30,\n"
    "                    192.168.10.32), and the template sections that may assign them\n"
    "\n"
    "Formats: list and find: rows (default) or json; check and free: text (default) or\n"
    "json.\n"
    "\n"
    "Exit status: 0 success; 1 a number or text was not found, check has findings, or a\n"
    "pool has no free address; 2 the file could not be read to its end; 64 usage error;\n"
    "74 output error. check follows the monitoring-plugin convention (0 OK, 1 WARNING,\n"
    "2 CRITICAL).\n"
    "\n"
    "Examples:\n"
    "  kelto-cli check -f /srv/dhcp/dhcpsrv.ini\n"
    "  kelto-cli find nas 00:1a:2b\n"
    "  kelto-cli free --format json");

} // namespace

int main(int argc, char *argv[])
{
    prepareStandardStreams();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelto-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption fileOption(
        {QStringLiteral("f"), QStringLiteral("file")},
        QStringLiteral("The configuration file (\"-\": standard input)."), QStringLiteral("PATH"),
        DefaultFile);
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("Output format: rows, text or json."),
                                          QStringLiteral("FORMAT"));
    const QCommandLineOption maxInputOption(
        QStringLiteral("max-input"),
        QStringLiteral("Read no more than SIZE bytes (suffix K, M or G); default 4G."),
        QStringLiteral("SIZE"));
    parser.addOption(fileOption);
    parser.addOption(formatOption);
    parser.addOption(maxInputOption);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("list, lookup, find, check or free"));
    parser.addPositionalArgument(QStringLiteral("argument"),
                                 QStringLiteral("Host numbers for lookup, texts for find."),
                                 QStringLiteral("[ARGUMENT...]"));

    if (!parser.parse(argumentsOf(argc, argv)))
        return usageError(parser, parser.errorText());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return Success;
    }
    if (parser.isSet(versionOption)) {
        std::printf("kelto-cli %s\n", KELTO_VERSION);
        return Success;
    }

    Options options;
    QStringList positional = parser.positionalArguments();
    const QString name = positional.isEmpty() ? QString() : positional.takeFirst();
    for (const Command &command : commands()) {
        if (command.name == name)
            options.command = &command;
    }
    if (!options.command)
        return usageError(parser, name.isEmpty() ? QStringLiteral("no command given")
                                                 : QStringLiteral("unknown command: %1").arg(name));
    const Command &command = *options.command;
    options.arguments = positional;
    options.file = parser.value(fileOption);

    if (command.arguments.isEmpty() && !options.arguments.isEmpty())
        return usageError(parser, QStringLiteral("%1 takes no arguments").arg(name));
    if (!command.arguments.isEmpty() && options.arguments.isEmpty())
        return usageError(
            parser,
            QStringLiteral("%1 needs at least one %2").arg(name, QString(command.arguments)));
    if (options.arguments.contains(QString()))
        return usageError(
            parser, QStringLiteral("an empty %1 is not allowed").arg(QString(command.arguments)));
    if (parser.isSet(formatOption)) {
        const QString format = parser.value(formatOption);
        if (command.formats.empty())
            return usageError(parser, QStringLiteral("%1 has no --format").arg(name));
        const auto known = std::find_if(command.formats.begin(), command.formats.end(),
                                        [&format](const auto &f) { return f.first == format; });
        if (known == command.formats.end())
            return usageError(parser,
                              QStringLiteral("unknown format for %1: %2").arg(name, format));
        options.format = known->second;
    } else if (!command.formats.empty()) {
        options.format = command.formats.front().second;
    }

    if (parser.isSet(maxInputOption)) {
        const std::optional<qint64> limit = readSize(parser.value(maxInputOption));
        if (!limit)
            return usageError(parser,
                              QStringLiteral("not a size: %1").arg(parser.value(maxInputOption)));
        options.sizeLimit = *limit;
    }

    ScanResult result = scan(options);
    try {
        if (!result.isComplete())
            printError(QStringLiteral("%1: %2").arg(options.file, result.failure->description()));
        Utf8Output out(stdout);
        const int status = run(options, result, out);
        if (!out.flush()) {
            printError(QStringLiteral("cannot write the output"));
            return OutputError;
        }
        return result.isComplete() ? status : ScanFailed;
    } catch (const std::bad_alloc &) {
        // The rows of a scan that ran out of memory may not leave enough to show them.
        result = {};
        std::fputs("kelto-cli: not enough memory to write the output\n", stderr);
        return ScanFailed;
    }
}
