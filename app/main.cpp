#include "commandline.h"
#include "keltofrm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto"));
    QApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.kelto.Kelto"));

    Keltofrm window;
    window.start(commandline::argumentText());
    return app.exec();
}
