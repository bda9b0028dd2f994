// Killing the process while the engine writes what it keeps never loses an
// acknowledged write and never leaves a damaged file behind.
#include "TestSupport.h"
#include "orvanta.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <cstdio>

namespace {

// The child: writes a growing counter as a setting and into the flags block,
// and says on standard output which value is safely stored.
int RunWriter()
{
    const KrInstance engine = KrInitialize(nullptr, 0, "Orvanta\\Tavrilo");
    uint8_t flags[KR_FLAGS_BLOCK_SIZE] = {};
    for (qint64 i = 1;; ++i) {
        KrVariant value{};
        value.Type = KrVtInteger;
        value.Value.Integer = i;
        qToLittleEndian<qint32>(qint32(i), flags + 20);
        if (KrProcess(engine, KR_OP_WRITE_SETTING, "Counter", &value) != 0 ||
            KrSetFlags(engine, flags) != 0)
            return 1;
        std::printf("%lld\n", static_cast<long long>(i));
        std::fflush(stdout);
    }
}

qint64 StoredCounter(qint32* Flag)
{
    const KrInstance engine = KrInitialize(nullptr, 0, "Orvanta\\Tavrilo");
    KrVariant value{};
    KrProcess(engine, KR_OP_READ_SETTING, "Counter", &value);
    uint8_t flags[KR_FLAGS_BLOCK_SIZE] = {};
    KrGetFlags(engine, flags);
    *Flag = qFromLittleEndian<qint32>(flags + 20);
    KrRelease(engine);
    return value.Type == KrVtInteger ? value.Value.Integer : -1;
}

} // namespace

class TestStoreKill : public QObject
{
    Q_OBJECT
private slots:
    void killedWriterLosesNothing();
};

void TestStoreKill::killedWriterLosesNothing()
{
    TTestPlatformRoot root;
    for (int round = 0; round < 12; ++round) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer")});
        QVERIFY(writer.waitForStarted());
        QTRY_VERIFY(writer.canReadLine());
        QTest::qWait(QRandomGenerator::global()->bounded(5, 120));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished());

        const QList<QByteArray> acknowledged = writer.readAllStandardOutput().split('\n');
        qint64 last = 0;
        for (const QByteArray& line : acknowledged)
            if (!line.isEmpty())
                last = line.toLongLong();
        qint32 flag = 0;
        const qint64 counter = StoredCounter(&flag);
        // Written before it was acknowledged; at most the one write under way is newer.
        QVERIFY2(counter >= last && counter <= last + 1,
                 qPrintable(QStringLiteral("round %1: stored %2, acknowledged %3").arg(round).arg(counter).arg(last)));
        QVERIFY(flag >= last && flag <= last + 1);
    }
    QStringList files;
    QDirIterator it(root.Path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QFileInfo(it.next()).fileName();
    QVERIFY(files.contains(QStringLiteral("settings.json")));
    QVERIFY2(files.filter(QStringLiteral(".damaged-")).isEmpty(), qPrintable(files.join(' ')));
}

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--writer") == 0)
        return RunWriter();
    QCoreApplication application(argc, argv);
    TestStoreKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storekill.moc"
