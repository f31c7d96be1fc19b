// What a screen reader on Linux reads of the window over AT-SPI, the accessibility bus:
// each output's value and what it is, and the lookup's result in the description of the
// host number box. Runs under a session bus of its own and a real X display.

#include "keltofrm.h"
#include "testsupport.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QLineEdit>
#include <QTest>

using namespace kelto::test;

namespace {

// An object of the accessibility tree: the bus name of its application and its path.
struct Node
{
    QString service;
    QString path;
};

// What a screen reader is told of a node.
struct Told
{
    QString role;
    QString name;
    QString description;
};

class AtSpi
{
public:
    explicit AtSpi(const QDBusConnection &bus) : m_bus(bus) { }

    // A method call, answered while this process's own bridge goes on serving the bus:
    // the window under test answers from this very event loop.
    QDBusMessage call(const Node &node, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}) const
    {
        QDBusMessage message
            = QDBusMessage::createMethodCall(node.service, node.path, interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_bus.asyncCall(message, 5000);
        QTest::qWaitFor([&] { return pending.isFinished(); }, 6000);
        return pending.reply();
    }

    QList<Node> children(const Node &node) const
    {
        const QDBusMessage reply = call(node, QStringLiteral("org.a11y.atspi.Accessible"),
                                        QStringLiteral("GetChildren"));
        QList<Node> nodes;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return nodes;
        const auto list = reply.arguments().front().value<QDBusArgument>();
        list.beginArray();
        while (!list.atEnd()) {
            Node child;
            QDBusObjectPath path;
            list.beginStructure();
            list >> child.service >> path;
            list.endStructure();
            child.path = path.path();
            nodes << child;
        }
        list.endArray();
        return nodes;
    }

    Told told(const Node &node) const
    {
        const auto property = [&](const char *name) {
            const QDBusMessage reply = call(
                node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                {QStringLiteral("org.a11y.atspi.Accessible"), QString::fromLatin1(name)});
            return reply.arguments().isEmpty()
                       ? QString()
                       : reply.arguments().front().value<QDBusVariant>().variant().toString();
        };
        const QDBusMessage role = call(node, QStringLiteral("org.a11y.atspi.Accessible"),
                                       QStringLiteral("GetRoleName"));
        return {role.arguments().value(0).toString(), property("Name"), property("Description")};
    }

    // Every node below `node` but the rows of lists, which say nothing of the outputs.
    QList<Told> tree(const Node &node) const
    {
        QList<Told> all;
        for (const Node &child : children(node)) {
            const Told it = told(child);
            all << it;
            if (it.role != QLatin1StringView("list"))
                all << tree(child);
        }
        return all;
    }

private:
    QDBusConnection m_bus;
};

} // namespace

class tst_AtSpi : public QObject
{
    Q_OBJECT

private slots:
    void outputsAfterLookup();
};

void tst_AtSpi::outputsAfterLookup()
{
    // A plain call: an interface object would introspect the launcher and keep the result.
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
        QStringLiteral("GetAddress")));
    if (!address.isValid())
        QSKIP("no accessibility bus: run under dbus-run-session with at-spi2-core installed");

    QTemporaryDir dir;
    writeFile(dir, QStringLiteral("dhcpsrv.ini"),
              crlf({"[00-11-22-33-44-66]", "IPADDR=10.0.0.7", "Hostname=ten"}));
    QVERIFY(QDir::setCurrent(dir.path()));
    Keltofrm window;
    window.start(QString());
    auto *ip = window.findChild<QLineEdit *>(QStringLiteral("IP"));
    QTest::keyClicks(ip, QStringLiteral("7"));
    QTest::keyClick(ip, Qt::Key_Return);

    const AtSpi atspi(QDBusConnection::connectToBus(address.value(), QStringLiteral("a11y")));
    const Node registry{QStringLiteral("org.a11y.atspi.Registry"),
                        QStringLiteral("/org/a11y/atspi/accessible/root")};
    QList<Told> told;
    const auto readTree = [&] {
        told.clear();
        for (const Node &application : atspi.children(registry))
            told << atspi.tree(application);
        return !told.isEmpty();
    };
    QVERIFY2(QTest::qWaitFor(readTree, 10000), "the window never joined the accessibility bus");

    const auto find = [&](const QString &role, const QString &description) {
        for (const Told &it : told)
            if (it.role == role && it.description == description)
                return it.name;
        return QStringLiteral("(none)");
    };
    QCOMPARE(find(QStringLiteral("label"), QStringLiteral("Address")), QStringLiteral("10.0.0.7"));
    QCOMPARE(find(QStringLiteral("label"), QStringLiteral("Host name")), QStringLiteral("ten"));
    QCOMPARE(find(QStringLiteral("label"), QStringLiteral("MAC address")),
             QStringLiteral("00-11-22-33-44-66"));
    QCOMPARE(find(QStringLiteral("text"), QStringLiteral("10.0.0.7 ten 00-11-22-33-44-66")),
             QStringLiteral("Host number"));
    QDir::setCurrent(QDir::tempPath());
    QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
}

QTEST_MAIN(tst_AtSpi)
#include "tst_atspi.moc"
