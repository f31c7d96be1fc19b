// Finding the keys that come more than once in a stream of (key, item) pairs.

#include "repeatedkeys.h"

#include <QTest>

#include <map>
#include <random>

using namespace kelto;

class tst_RepeatedKeys : public QObject
{
    Q_OBJECT

private slots:
    void repeatedKeys_data();
    void repeatedKeys();
};

void tst_RepeatedKeys::repeatedKeys_data()
{
    QTest::addColumn<int>("room"); // what the table is told to expect
    QTest::addColumn<int>("items");
    QTest::addColumn<int>("distinct");

    QTest::newRow("room for all") << 4000 << 4000 << 1500;
    QTest::newRow("grows from one") << 1 << 4000 << 1500;
    QTest::newRow("few repeats") << 1 << 3000 << 1000000;
    QTest::newRow("one key") << 8 << 50 << 1;
    QTest::newRow("nothing") << 8 << 0 << 1;
}

// The groups against a plain count: every key that comes more than once, with all its
// items in the order added, the groups in the order of their second item.
void tst_RepeatedKeys::repeatedKeys()
{
    QFETCH(int, room);
    QFETCH(int, items);
    QFETCH(int, distinct);

    RepeatedKeys keys{size_t(room)};
    std::map<quint64, std::vector<qsizetype>> byKey;
    std::vector<quint64> secondSeen;
    std::minstd_rand random(7); // the same sequence everywhere
    for (int i = 0; i < items; ++i) {
        // Keys that differ only in high bits, low bits and both; repeats from the start,
        // so that the table grows while it holds groups.
        const quint64 k = random() % quint64(distinct);
        const quint64 key = (k % 3 == 0) ? k << 40 : (k % 3 == 1 ? k : k * 0x0001000100010001ULL);
        keys.add(key, i);
        std::vector<qsizetype> &seen = byKey[key];
        seen.push_back(i);
        if (seen.size() == 2)
            secondSeen.push_back(key);
    }
    const std::vector<RepeatedKeys::Group> groups = keys.takeGroups();
    QCOMPARE(groups.size(), secondSeen.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        QCOMPARE(groups[g].key, secondSeen[g]);
        QVERIFY(groups[g].items == byKey[secondSeen[g]]);
    }
}

QTEST_APPLESS_MAIN(tst_RepeatedKeys)
#include "tst_repeatedkeys.moc"
