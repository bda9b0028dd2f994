#include "PropertyTree.h"

#include <QTest>

class TestPropertyTree : public QObject
{
    Q_OBJECT
private slots:
    void routing_data();
    void routing();
};

void TestPropertyTree::routing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("seen");
    QTest::newRow("exact") << "Sender\\FPSRate" << 0 << "rate";
    QTest::newRow("case does not matter") << "SENDER\\fpsrate" << 0 << "rate";
    QTest::newRow("exact wins over a prefix") << "Receivers\\PlaybackDevice" << 0 << "playback";
    QTest::newRow("prefix") << "Receivers\\bob@demo>\\Format" << 0 << "receiver:bob@demo>\\Format";
    QTest::newRow("longest prefix") << "Receivers\\AudioPlayback\\TestPlayback" << 0
                                    << "audio:TestPlayback";
    QTest::newRow("unknown") << "Sender\\Nothing" << -1 << "";
    QTest::newRow("a prefix is no path") << "Sender" << -1 << "";
}

void TestPropertyTree::routing()
{
    QFETCH(QString, path);
    QString seen;
    TPropertyTree tree;
    tree.Add(QStringLiteral("Sender\\FPSRate"), [&](int32_t, KrVariant*) {
        seen = QStringLiteral("rate");
        return 0;
    });
    tree.Add(QStringLiteral("Receivers\\PlaybackDevice"), [&](int32_t, KrVariant*) {
        seen = QStringLiteral("playback");
        return 0;
    });
    tree.AddPrefix(QStringLiteral("Receivers\\"), [&](const QString& Rest, int32_t, KrVariant*) {
        seen = QStringLiteral("receiver:") + Rest;
        return 0;
    });
    tree.AddPrefix(QStringLiteral("Receivers\\AudioPlayback\\"),
                   [&](const QString& Rest, int32_t, KrVariant*) {
                       seen = QStringLiteral("audio:") + Rest;
                       return 0;
                   });
    KrVariant value{};
    QTEST(tree.Process(KR_OP_GET, path, &value), "result");
    QTEST(seen, "seen");
    QCOMPARE(tree.Process(KR_OP_READ_SETTING, QStringLiteral("Sender\\FPSRate"), &value), -1);
}

QTEST_GUILESS_MAIN(TestPropertyTree)
#include "tst_propertytree.moc"
