#include "TestSupport.h"
#include "platform/Resources.h"
#include "startup/KrStrings.h"
#include "startup/LanguageFile.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int ConnectId = 54878; // "Connect"
constexpr int CallToId = 54835;  // "Call to:"
constexpr int OfflineNoticeId = 55132;

QString WriteFile(const QTemporaryDir& Dir, const QString& Name, const QByteArray& Bytes)
{
    const QString path = Dir.filePath(Name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Bytes) != Bytes.size())
        return {};
    return path;
}

QByteArray Picture(const char* Format, QColor Color)
{
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(Color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, Format);
    return bytes;
}

class TWindow : public TLocalizable
{
public:
    TWindow(QStringList& Log, QString Name) : FLog(Log), FName(std::move(Name)) {}
    void Localize() override { FLog << FName; }

private:
    QStringList& FLog;
    QString FName;
};

} // namespace

class TestStrings : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void builtInTable();
    void languageFileTextsComeFirst();
    void badLanguageFilesAreRefused_data();
    void badLanguageFilesAreRefused();
    void textTableErrors_data();
    void textTableErrors();
    void krlangMakesAndShowsLanguageFiles();
    void moduleLookupErrors();
    void localizeAllFormsCallsEveryWindowInOrder();
    void resources();
    void loadPictureFromBuffer_data();
    void loadPictureFromBuffer();

private:
    QTemporaryDir FDir;
};

void TestStrings::cleanup()
{
    if (LanguageModule != 0)
        FreeLanguageModule(LanguageModule);
    LanguageModule = 0;
}

void TestStrings::builtInTable()
{
    QCOMPARE(LoadLocalizedString(ConnectId), QStringLiteral("Connect"));
    QCOMPARE(LoadLocalizedString(5600), QStringLiteral("From mail database"));
    QCOMPARE(LoadLocalizedString(55321), QStringLiteral("N\\A"));
    QCOMPARE(LoadLocalizedString(54868), QStringLiteral("Snd: ")); // trailing blank kept
    QCOMPARE(LoadLocalizedString(OfflineNoticeId),
             QStringLiteral("Unable to connect to the server. Please check your\n\r Internet "
                            "connection or Firewall/Proxy settings."));
    QCOMPARE(LoadLocalizedString(1), QString());
    QCOMPARE(LoadLocalizedString(-5), QString()); // no language file: nothing to refuse

    // Every id of the program's range that is used has a text.
    QFile source(QStringLiteral(":/strings/en.txt"));
    QVERIFY(source.open(QIODevice::ReadOnly));
    TStringTable table;
    QString error;
    QVERIFY2(TLanguageFile::ParseTextTable(source.readAll(), table, &error), qPrintable(error));
    QVERIFY(table.size() > 170);
    for (auto it = table.begin(); it != table.end(); ++it) {
        QVERIFY(it.key() == 5600 || (it.key() >= 54816 && it.key() <= 55372));
        QVERIFY2(!it.value().isEmpty(), qPrintable(QString::number(it.key())));
    }
}

void TestStrings::languageFileTextsComeFirst()
{
    TStringTable german{{ConnectId, QStringLiteral("Verbinden")},
                        {CallToId, QString()}, // empty: the English text shows
                        {54879, QString(2000, QLatin1Char('x'))}};
    const QString path = WriteFile(FDir, "de.ln0", TLanguageFile::Encode(german));
    LanguageModule = LoadLanguageModule(path);
    QVERIFY(LanguageModule != 0);

    QCOMPARE(LoadLocalizedString(ConnectId), QStringLiteral("Verbinden"));
    QCOMPARE(LoadLocalizedString(CallToId), QStringLiteral("Call to:"));
    QCOMPARE(LoadLocalizedString(55138), QStringLiteral("Address Book")); // not translated
    QCOMPARE(LoadLocalizedString(54879).size(), MaxLocalizedLength);
    QVERIFY_THROWS_EXCEPTION(EKrError, LoadLocalizedString(-1));
}

void TestStrings::badLanguageFilesAreRefused_data()
{
    const QByteArray good = TLanguageFile::Encode({{ConnectId, QStringLiteral("Verbinden")}});
    QByteArray damaged = good;
    damaged[damaged.size() - 1] = 'X';
    QByteArray lying = good; // claims a second entry that is not there
    lying[8] = 2;

    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not a language file") << QByteArray("MZ\x90\0 some other program", 22);
    QTest::newRow("header cut off") << good.left(20);
    QTest::newRow("entry cut off") << good.left(good.size() - 3);
    QTest::newRow("extra bytes") << good + "tail";
    QTest::newRow("damaged text") << damaged;
    QTest::newRow("wrong count") << lying;
}

void TestStrings::badLanguageFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    const QString path = WriteFile(FDir, QStringLiteral("bad.ln0"), bytes);
    QCOMPARE(LoadLanguageModule(path), HMODULE(0));
    QCOMPARE(LoadLocalizedString(ConnectId), QStringLiteral("Connect"));
}

void TestStrings::textTableErrors_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error");
    QTest::newRow("no tab") << QByteArray("# c\n54878 Connect\n") << "line 2: no TAB after the string id";
    QTest::newRow("bad id") << QByteArray("x\tConnect\n") << "line 1: the string id is not a positive number";
    QTest::newRow("zero id") << QByteArray("0\tConnect\n") << "line 1: the string id is not a positive number";
    QTest::newRow("twice") << QByteArray("1\ta\n1\tb\n") << "line 2: string id 1 appears twice";
    QTest::newRow("bad escape") << QByteArray("1\ta\\q\n") << "line 1: a backslash not followed by n, r, t or \\";
    QTest::newRow("escape at end") << QByteArray("1\ta\\") << "line 1: a backslash not followed by n, r, t or \\";
}

void TestStrings::textTableErrors()
{
    QFETCH(QByteArray, text);
    TStringTable table;
    QString error;
    QVERIFY(!TLanguageFile::ParseTextTable(text, table, &error));
    QTEST(error, "error");
}

void TestStrings::krlangMakesAndShowsLanguageFiles()
{
    const QByteArray table = "# Deutsch\n54878\tVerbinden\n55132\tZeile 1\\n\\rZeile 2 \\\\ \\t\xc3\xa4\n";
    const QString source = WriteFile(FDir, QStringLiteral("de.txt"), table);
    const QString target = FDir.filePath(QStringLiteral("de.ln0"));
    QCOMPARE(QProcess::execute(QStringLiteral(KRLANG_PATH), {source, target}), 0);

    LanguageModule = LoadLanguageModule(target);
    QVERIFY(LanguageModule != 0);
    QCOMPARE(LoadLocalizedString(OfflineNoticeId), QStringLiteral("Zeile 1\n\rZeile 2 \\ \t\u00e4"));

    QProcess dump;
    dump.start(QStringLiteral(KRLANG_PATH), {QStringLiteral("--dump"), target});
    QVERIFY(dump.waitForFinished());
    QCOMPARE(dump.exitCode(), 0);
    QCOMPARE(dump.readAllStandardOutput(), table.mid(table.indexOf('\n') + 1));

    // A table with a mistake makes no file and says where the mistake is.
    const QString broken = WriteFile(FDir, QStringLiteral("broken.txt"), "1\tok\n2 missing tab\n");
    QProcess refuse;
    refuse.start(QStringLiteral(KRLANG_PATH), {broken, FDir.filePath(QStringLiteral("b.ln0"))});
    QVERIFY(refuse.waitForFinished());
    QCOMPARE(refuse.exitCode(), 1);
    QVERIFY(refuse.readAllStandardError().contains("line 2"));
    QVERIFY(!QFile::exists(FDir.filePath(QStringLiteral("b.ln0"))));
}

void TestStrings::moduleLookupErrors()
{
    QCOMPARE(LoadLanguageModule(QString()), HMODULE(0));
    QCOMPARE(LoadLanguageModule(FDir.filePath(QStringLiteral("missing.ln0"))), HMODULE(0));
    QVERIFY_THROWS_EXCEPTION(EKrError, LoadModuleString(0, ConnectId));
    try {
        LoadModuleString(12345, ConnectId);
        QFAIL("a handle that is no language file was accepted");
    } catch (const EKrError& error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("Invalid module handle"));
    }
    try {
        LoadModuleString(12345, -1);
        QFAIL("a negative id was accepted");
    } catch (const EKrError& error) {
        QCOMPARE(QString::fromLatin1(error.what()), QStringLiteral("String ID must be more than 0."));
    }
}

void TestStrings::localizeAllFormsCallsEveryWindowInOrder()
{
    QStringList log;
    TWindow chat(log, QStringLiteral("chat"));
    auto history = std::make_unique<TWindow>(log, QStringLiteral("history"));
    TWindow main(log, QStringLiteral("main"));
    LocalizeAllForms();
    QCOMPARE(log, (QStringList{"chat", "history", "main"}));

    log.clear();
    history.reset();
    LocalizeAllForms();
    QCOMPARE(log, (QStringList{"chat", "main"}));
}

void TestStrings::resources()
{
    QCOMPARE(ReadResourceText(QStringLiteral("APPNAME")), QStringLiteral("Tavrilo"));
    QCOMPARE(ReadResourceText(QStringLiteral("REGSTRING")), QStringLiteral("Orvanta\\Tavrilo"));
    QCOMPARE(ReadResourceText(QStringLiteral("SERVICENAME")), QStringLiteral("Pellory"));
    QVERIFY(ReadResourceText(QStringLiteral("FULLNAME")).startsWith(QStringLiteral("Tavrilo v4.4.")));
    QVERIFY(ReadResourceText(QStringLiteral("DEFHELP")).endsWith(QStringLiteral("/help.asp")));
    QVERIFY(!ResourceExists(QStringLiteral("NOSUCH")));
    QCOMPARE(ReadResourceText(QStringLiteral("NOSUCH")), QString());

    QImage splash, photo, trayIcon, trayMask;
    QVERIFY(splash.loadFromData(TResources::Read(QStringLiteral("SPLASH")), "JPEG"));
    QCOMPARE(splash.size(), QSize(406, 268));
    QVERIFY(photo.loadFromData(TResources::Read(QStringLiteral("NOPHOTO")), "GIF"));
    QCOMPARE(photo.size(), QSize(160, 120));
    QVERIFY(trayIcon.loadFromData(TResources::Read(QStringLiteral("TRAYICON")), "BMP"));
    QVERIFY(trayMask.loadFromData(TResources::Read(QStringLiteral("TRAYMASK")), "BMP"));
    QCOMPARE(trayIcon.size(), QSize(64, 16));
    QCOMPARE(trayMask.size(), QSize(64, 16));

    const TFileVersion version = ProgramFileVersion();
    QCOMPARE(version.Major, 4);
    QCOMPARE(version.Minor, 4);
    QCOMPARE(version.Release, 0);
    QCOMPARE(version.ToString(), QStringLiteral("4.4.0.%1").arg(version.Build));
}

void TestStrings::loadPictureFromBuffer_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("replaced");
    const QByteArray jpeg = Picture("JPEG", Qt::red);
    QTest::newRow("image/jpg") << jpeg << "image/jpg" << true;
    QTest::newRow("jpeg lower case") << jpeg << "jpeg" << true;
    QTest::newRow("gif") << Picture("PNG", Qt::red) << "GIF" << false; // PNG bytes, GIF name
    QTest::newRow("png") << Picture("PNG", Qt::red) << "image/png" << true;
    QTest::newRow("bmp is not decoded") << Picture("BMP", Qt::red) << "bmp" << false;
    QTest::newRow("garbage") << QByteArray("not a picture at all") << "JPEG" << false;
    QTest::newRow("cut off") << jpeg.left(40) << "JPEG" << false;
    QTest::newRow("empty") << QByteArray() << "PNG" << false;
}

void TestStrings::loadPictureFromBuffer()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, format);
    QFETCH(bool, replaced);

    QLabel image;
    const QByteArray noPhoto = TResources::Read(QStringLiteral("NOPHOTO"));
    LoadPictureFromBuffer(&image, noPhoto.constData(), int(noPhoto.size()), QStringLiteral("GIF"));
    QCOMPARE(image.pixmap().size(), QSize(160, 120));

    LoadPictureFromBuffer(&image, bytes.constData(), int(bytes.size()), format);
    QCOMPARE(image.pixmap().size(), replaced ? QSize(8, 6) : QSize(160, 120));
    if (replaced)
        QVERIFY(qRed(image.pixmap().toImage().pixel(3, 3)) > 200);

    LoadPictureFromBuffer(nullptr, bytes.constData(), int(bytes.size()), format); // no image: nothing
}

QTEST_MAIN(TestStrings)
#include "tst_strings.moc"
