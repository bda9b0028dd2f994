#include "KrCoreFixture.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <cstring>
#include <dlfcn.h>

namespace {

// The fake always ends its texts with a zero; an engine may fill a user
// detail buffer to its last byte. While this is set, KrReadUserInfo does so.
std::atomic<bool> FillUserInfoToTheBrim{false};

} // namespace

extern "C" int32_t KrReadUserInfo(KrInstance Instance, const char* UserName, char** Fields)
{
    if (!FillUserInfoToTheBrim) {
        using TFake = int32_t (*)(KrInstance, const char*, char**);
        static const auto fake = reinterpret_cast<TFake>(dlsym(RTLD_NEXT, "KrReadUserInfo"));
        return fake(Instance, UserName, Fields);
    }
    for (int i = 0; i < KR_USER_INFO_FIELDS; ++i)
        std::memset(Fields[i], 'A' + i, KR_USER_INFO_FIELD_SIZE);
    return 0;
}

namespace {

QByteArrayList UserInfoTexts(int Field, const QByteArray& Text)
{
    QByteArrayList texts(KR_USER_INFO_FIELDS);
    texts[Field] = Text;
    return texts;
}

// The engine's side of "Protocol\UserPhoto": the four addresses it is given.
struct TPhotoAnswer
{
    int32_t Result = 0;
    const void* Data = nullptr;
    int32_t Size = 0;
    const char* Format = nullptr;
    QByteArray UserSeen;
};

void* AddressAt(const KrVariant* Value, int Index)
{
    return reinterpret_cast<void*>(intptr_t(Value->Value.Array[Index].Value.Integer));
}

class TScreenSaver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    bool Active = false;
public slots:
    bool GetActive() { return Active; }
};

} // namespace

class TestKrCoreData : public QObject
{
    Q_OBJECT
private slots:
    void serverProperties();
    void settings_data();
    void settings();
    void settingsNeedTheEngine();

    void userInfoFieldsLandInTheirPlaces();
    void userInfoTexts_data();
    void userInfoTexts();
    void userInfoBuffersWithoutZeroAreReadToTheirEnd();

    void userPhoto_data();
    void userPhoto();
    void requestsAndTraffic();
    void bookRequests_data();
    void bookRequests();

    void listFiles();
    void raiseOverScreenSaver();
};

void TestKrCoreData::serverProperties()
{
    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetProperty("skin_url", "https://pellory.example/skins");
    QCOMPARE(f.Core->GetServerProperty("skin_url"),
             QStringLiteral("https://pellory.example/skins"));
    QCOMPARE(f.Core->GetServerProperty("lang_url"), QString());
    TOrvantaFake::SetResult("KrGetProperty", -1);
    QCOMPARE(f.Core->GetServerProperty("skin_url"), QString());

    f.Core->SetServerProperty(QStringLiteral("nick"), QStringLiteral("Zoë"));
    const TFakeCall set = TOrvantaFake::ProcessCalls("Protocol\\Property").last();
    QCOMPARE(set.Operation(), KR_OP_SET);
    QCOMPARE(set.Value(), QVariant(QVariantList{QByteArray("nick"), QByteArray("Zo\xc3\xab")}));
}

void TestKrCoreData::settings_data()
{
    QTest::addColumn<bool>("asText");
    QTest::addColumn<int>("engineResult");
    QTest::addColumn<QVariant>("engineValue");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("never written, as text")
        << true << -1 << QVariant() << int(KrVtString) << QString();
    QTest::newRow("never written") << false << -1 << QVariant() << int(KrVtByte) << "0";
    QTest::newRow("stored text") << true << 0 << QVariant(QByteArray("de")) << int(KrVtString)
                                 << "de";
    QTest::newRow("stored number") << false << 0 << QVariant(qint64(3)) << int(KrVtInteger) << "3";
    // A failed read leaves the preset, whatever it did to the value.
    QTest::newRow("failed read") << true << 5 << QVariant(QByteArray("junk")) << int(KrVtString)
                                 << QString();
}

void TestKrCoreData::settings()
{
    QFETCH(bool, asText);
    QFETCH(int, engineResult);
    QFETCH(QVariant, engineValue);
    QFETCH(int, type);
    QFETCH(QString, text);

    TKrCoreFixture f;
    f.Start();
    if (engineValue.isValid())
        TOrvantaFake::SetProcess(KR_OP_READ_SETTING, "Locale", engineResult, engineValue);
    TKrValue read = TKrValue::Integer(77);
    f.Core->ReadSetting(QStringLiteral("Locale"), asText, read);
    QCOMPARE(read.Type(), type);
    QCOMPARE(read.AsText(), text);
    QCOMPARE(TOrvantaFake::ProcessCalls("Locale", KR_OP_READ_SETTING).size(), 1);
}

void TestKrCoreData::settingsNeedTheEngine()
{
    TKrCoreFixture f;
    TKrValue read = TKrValue::Integer(77);
    f.Core->ReadSetting(QStringLiteral("Locale"), true, read);
    QCOMPARE(read.AsText(), QString());
    QCOMPARE(read.Type(), int(KrVtString));
    f.Core->WriteSetting(QStringLiteral("Locale"), TKrValue::Text(QStringLiteral("de")));
    int sent = -1;
    int received = -1;
    f.Core->GetTraffic(sent, received);
    QCOMPARE(sent, 0);
    QCOMPARE(received, 0);
    QVERIFY(TOrvantaFake::Calls().isEmpty());

    f.Start();
    const TKrValue written =
        TKrValue::Array({TKrValue::Integer(1), TKrValue::Text(QStringLiteral("ü"))});
    f.Core->WriteSetting(QStringLiteral("Window"), written);
    const TFakeCall call = TOrvantaFake::ProcessCalls("Window").last();
    QCOMPARE(call.Operation(), KR_OP_WRITE_SETTING);
    QCOMPARE(call.Value(), QVariant(QVariantList{qint64(1), QByteArray("\xc3\xbc")}));
    QCOMPARE(written.Count(), 2); // the caller's value is its own
}

void TestKrCoreData::userInfoFieldsLandInTheirPlaces()
{
    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetTexts("KrReadUserInfo", {"t0", "nick", "t2", "desc", "about", "m", "s", "33",
                                              "job", "town", "fun", "NL"});
    TUserInfoRecord info;
    info.Age = QStringLiteral("stale");
    QVERIFY(f.Core->ReadUserInfo(QStringLiteral("bob@demo"), info));
    QCOMPARE(TOrvantaFake::Calls("KrReadUserInfo").last().Args.value(1),
             QVariant(QByteArray("bob@demo")));
    const QStringList fields{info.Nick,          info.Description, info.About,      info.Gender,
                             info.MaritalStatus, info.Age,         info.Occupation, info.Location,
                             info.Interests,     info.CountryCode};
    QCOMPARE(fields,
             (QStringList{"nick", "desc", "about", "m", "s", "33", "job", "town", "fun", "NL"}));

    // A failed read says so and leaves an empty record, not the last one.
    TOrvantaFake::SetResult("KrReadUserInfo", -1);
    TOrvantaFake::SetTexts("KrReadUserInfo", {});
    QVERIFY(!f.Core->ReadUserInfo(QStringLiteral("bob@demo"), info));
    QCOMPARE(info.Nick, QString());
    QCOMPARE(info.CountryCode, QString());
}

void TestKrCoreData::userInfoTexts_data()
{
    QTest::addColumn<QByteArray>("engineText");
    QTest::addColumn<QString>("nick");
    QTest::newRow("UTF-8") << QByteArray("Zo\xc3\xab \xf0\x9f\x99\x82")
                           << QStringLiteral("Zoë 🙂");
    QTest::newRow("invalid UTF-8 is replaced") << QByteArray("a\xff"
                                                             "b")
                                               << QStringLiteral("a\uFFFD"
                                                                 "b");
    QTest::newRow("cut to 255") << QByteArray(3000, 'x') << QString(255, 'x');
    QTest::newRow("a pair is never split")
        << QByteArray(254, 'x') + "\xf0\x9f\x99\x82" << QString(254, 'x');
}

void TestKrCoreData::userInfoTexts()
{
    QFETCH(QByteArray, engineText);
    QFETCH(QString, nick);

    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetTexts("KrReadUserInfo", UserInfoTexts(1, engineText));
    TUserInfoRecord info;
    f.Core->ReadUserInfo(QStringLiteral("bob@demo"), info);
    QCOMPARE(info.Nick, nick);
}

void TestKrCoreData::userInfoBuffersWithoutZeroAreReadToTheirEnd()
{
    TKrCoreFixture f;
    f.Start();
    TUserInfoRecord info;
    FillUserInfoToTheBrim = true;
    const bool read = f.Core->ReadUserInfo(QStringLiteral("bob@demo"), info);
    FillUserInfoToTheBrim = false;
    QVERIFY(read);
    // Each field holds its own letter only; the last one ends at its buffer.
    QCOMPARE(info.Nick, QString(255, 'B'));
    QCOMPARE(info.Interests, QString(255, 'K'));
    QCOMPARE(info.CountryCode, QString(255, 'L'));
}

void TestKrCoreData::userPhoto_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("engineSize");
    QTest::addColumn<bool>("withBytes");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("picture") << 0 << 4 << true << true;
    QTest::newRow("engine failed") << -1 << 4 << true << false;
    QTest::newRow("no picture") << 0 << 0 << false << false;
    QTest::newRow("size without bytes") << 0 << 4 << false << false;
}

void TestKrCoreData::userPhoto()
{
    QFETCH(int, result);
    QFETCH(int, engineSize);
    QFETCH(bool, withBytes);
    QFETCH(bool, delivered);

    static const char picture[] = "\xff\xd8\xff\xe0";
    TPhotoAnswer answer{result, withBytes ? picture : nullptr, engineSize, "JPEG", {}};
    TKrCoreFixture f;
    TOrvantaFake::SetProcessHandler(KR_OP_RUN, "Protocol\\UserPhoto", [&answer](KrVariant* Value) {
        if (!Value || Value->Type != KrVtArray || Value->Count != 4)
            return -2;
        answer.UserSeen = static_cast<const char*>(AddressAt(Value, 0));
        *static_cast<const void**>(AddressAt(Value, 1)) = answer.Data;
        *static_cast<int32_t*>(AddressAt(Value, 2)) = answer.Size;
        *static_cast<const char**>(AddressAt(Value, 3)) = answer.Format;
        return answer.Result;
    });

    const void* data = picture + 1;
    int size = 99;
    QString format = QStringLiteral("old");
    QCOMPARE(f.Core->GetUserPhoto(QStringLiteral("bob@demo"), data, size, format), delivered);
    QCOMPARE(answer.UserSeen, QByteArray("bob@demo"));
    QCOMPARE(size, delivered ? engineSize : 0);
    QCOMPARE(data, delivered ? static_cast<const void*>(picture) : nullptr);
    QCOMPARE(format, delivered ? QStringLiteral("JPEG") : QString());
}

void TestKrCoreData::requestsAndTraffic()
{
    TKrCoreFixture f;
    // These go to the engine whether or not it was initialised.
    f.Core->RequestUserStatus(QStringLiteral("bob@demo"));
    f.Core->QueryKey();
    const QList<TFakeCall> calls = TOrvantaFake::Calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(0).Path(), QByteArray("Protocol\\UserStatus"));
    QCOMPARE(calls.at(0).Operation(), KR_OP_RUN);
    QCOMPARE(calls.at(0).Value(), QVariant(QByteArray("bob@demo")));
    QCOMPARE(calls.at(1).Path(), QByteArray("Sender\\QueryKey"));
    QCOMPARE(calls.at(1).Operation(), KR_OP_RUN);
    QVERIFY(!calls.at(1).Value().isValid());

    f.Start();
    TOrvantaFake::SetTraffic(1200, 3400);
    int sent = 0;
    int received = 0;
    f.Core->GetTraffic(sent, received);
    QCOMPARE(sent, 1200);
    QCOMPARE(received, 3400);
    TOrvantaFake::SetResult("KrGetTraffic", -1);
    f.Core->GetTraffic(sent, received);
    QCOMPARE(sent, 0);
    QCOMPARE(received, 0);
}

void TestKrCoreData::bookRequests_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<int>("op");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("param");
    QTest::newRow("list") << "list"
                          << "4" << 0 << QByteArray() << 4;
    QTest::newRow("add") << "add"
                         << "bob@demo" << 1 << QByteArray("bob@demo") << 1;
    QTest::newRow("delete") << "delete"
                            << "bob@demo" << 2 << QByteArray("bob@demo") << 1;
    QTest::newRow("search") << "search"
                            << "Zoë" << 3 << QByteArray("Zo\xc3\xab") << 6;
    QTest::newRow("by e-mail") << "email"
                               << "zoe@mail.example" << 4 << QByteArray("zoe@mail.example") << 1;
}

void TestKrCoreData::bookRequests()
{
    QFETCH(QString, request);
    QFETCH(QString, argument);
    QFETCH(int, op);
    QFETCH(QByteArray, text);
    QFETCH(int, param);

    TKrCoreFixture f;
    f.Start();
    TOrvantaFake::SetResult("KrAddressBook", 42);
    int number = 0;
    if (request == "list")
        number = f.Core->BookRequestList(argument.toInt());
    else if (request == "add")
        number = f.Core->BookAddContact(argument);
    else if (request == "delete")
        number = f.Core->BookDeleteUser(argument);
    else if (request == "search")
        number = f.Core->BookSearch(argument);
    else
        number = f.Core->BookAddByEmail(argument);
    QCOMPARE(number, 42);

    const QList<TFakeCall> calls = TOrvantaFake::Calls("KrAddressBook");
    QCOMPARE(calls.size(), 1);
    const QVariantList args = calls.first().Args;
    QCOMPARE(args.value(0), QVariant(qint64(TOrvantaFake::DefaultInstance)));
    QCOMPARE(args.value(1), QVariant(qint64(op)));
    QCOMPARE(args.value(2).toByteArray(), text);
    QCOMPARE(args.value(2).toByteArray().isNull(), text.isNull());
    QCOMPARE(args.value(3), QVariant(qint64(param)));
}

void TestKrCoreData::listFiles()
{
    QStringList list{"stale"};
    TKrCore::ListFiles(list, QStringLiteral("no-such-folder"), QStringLiteral("krp"));
    QVERIFY(list.isEmpty());

    // A folder of its own in the program folder, whose name ends in a unique
    // extension, so the program folder can be searched too.
    QTemporaryDir dir(QDir(TPaths::ProgramDir()).filePath(QStringLiteral("lf.XXXXXX")));
    QVERIFY(dir.isValid());
    const QString folder = QFileInfo(dir.path()).fileName();
    const QString unique = folder.mid(3);
    for (const char* name : {"a.krp", "B.KRP", ".hidden.krp", "notes.txt", "akrp", "a.krp.bak"})
        QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("plugins.krp")));

    TKrCore::ListFiles(list, folder, QStringLiteral("krp"));
    list.sort();
    QCOMPARE(list, (QStringList{".hidden.krp", "B.KRP", "a.krp", "plugins.krp"}));

    TKrCore::ListFiles(list, QString(), unique);
    QCOMPARE(list, QStringList{folder});
}

void TestKrCoreData::raiseOverScreenSaver()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        QSKIP("no session bus");
    TScreenSaver saver;
    if (!bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")) ||
        !bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                            QDBusConnection::ExportAllSlots))
        QSKIP("the bus has a screen saver of its own");

    QWidget owner;
    QWidget other;
    owner.show();
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    TKrCore core(&owner);

    core.RaiseOverScreenSaver();
    QTest::qWait(50);
    QCOMPARE(QApplication::activeWindow(), &other);

    saver.Active = true;
    core.RaiseOverScreenSaver();
    QTRY_COMPARE(QApplication::activeWindow(), &owner);

    bus.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

QTEST_MAIN(TestKrCoreData)
#include "tst_krcore_data.moc"
