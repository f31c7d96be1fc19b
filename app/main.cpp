#include "commandline.h"
#include "configfile.h"
#include "keltofrm.h"
#include "vendors.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

// The usual text for --help or --version, on standard output (no display is needed);
// where a Windows program has no console, Qt shows it in a message box.
int printHelpOrVersion(int argc, char *argv[], const QString &argumentText)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelto"));
    // The version, and the date of the vendor lists that the tooltips read.
    QCoreApplication::setApplicationVersion(
        QStringLiteral(KELTO_VERSION "\n%1").arg(kelto::vendorListsNote(kelto::vendorListFolder({}))));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Shows the host table of a DHCP server's dhcpsrv.ini and looks up host numbers.\n"
        "The argument text, without its double quotes, is the path of the file;\n"
        "without one, dhcpsrv.ini in the current folder is read."));
    parser.addOption(
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Prints this help.")});
    parser.addOption({QStringLiteral("version"), QStringLiteral("Prints the version.")});
    parser.addPositionalArgument(QStringLiteral("path"),
                                 QStringLiteral("The configuration file, dhcpsrv.ini."),
                                 QStringLiteral("[path]"));
    if (argumentText == QLatin1StringView("--version"))
        parser.showVersion();
    parser.showHelp(0);
}

} // namespace

int main(int argc, char *argv[])
{
    kelto::prepareStandardStreams();
    // The argument text is the path, whatever it holds, except for these three alone.
    const QString argumentText = commandline::argumentText(argc, argv);
    if (argumentText == QLatin1StringView("--help") || argumentText == QLatin1StringView("-h")
        || argumentText == QLatin1StringView("--version"))
        return printHelpOrVersion(argc, argv, argumentText);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto"));
    QApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.kelto.Kelto"));
    Keltofrm window;
    window.start(argumentText);
    return app.exec();
}
