// TKrCore: server properties, the settings store, user data, the address
// book requests and a few program utilities.
#include "KrClient.h"

#include "platform/Paths.h"
#include "platform/ScreenSaver.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <array>
#include <vector>

namespace {

constexpr qsizetype MaxUserInfoLength = 255;

// At most Length characters; a surrogate pair is never split.
QString CutText(const QString& Text, qsizetype Length)
{
    if (Text.size() <= Length)
        return Text;
    if (Length > 0 && Text.at(Length - 1).isHighSurrogate())
        --Length;
    return Text.left(Length);
}

} // namespace

// ---- Server properties and the settings store -----------------------------------

QString TKrCore::GetServerProperty(const QString& Name)
{
    TTextBuffer buffer(KR_PROPERTY_BUFFER_SIZE);
    if (KrGetProperty(FInstance, ToEngineText(Name).constData(), buffer.Data()) != 0)
        return {};
    return buffer.Text();
}

void TKrCore::SetServerProperty(const QString& Name, const QString& Value)
{
    TKrValue property = TKrValue::Array({TKrValue::Text(Name), TKrValue::Text(Value)});
    Process(KR_OP_SET, QStringLiteral("Protocol\\Property"), property);
}

void TKrCore::ReadSetting(const QString& Name, bool AsText, TKrValue& Value)
{
    const TKrValue preset = AsText ? TKrValue::Text(QString()) : TKrValue::Byte(0);
    Value = preset;
    if (!FInitialized)
        return;
    // Whatever a failed read left in the value is not the setting.
    if (Process(KR_OP_READ_SETTING, Name, Value) != 0)
        Value = preset;
}

void TKrCore::WriteSetting(const QString& Name, const TKrValue& Value)
{
    if (!FInitialized)
        return;
    TKrValue copy = Value;
    Process(KR_OP_WRITE_SETTING, Name, copy);
}

// ---- User data -----------------------------------------------------------------

bool TKrCore::ReadUserInfo(const QString& UserId, TUserInfoRecord& Info)
{
    Info = TUserInfoRecord();
    // One block for all twelve fields: the engine may fill a field to its last
    // byte without a zero, and each is read only within its own bounds.
    std::vector<char> block(size_t(KR_USER_INFO_FIELDS) * KR_USER_INFO_FIELD_SIZE, '\0');
    std::array<char*, KR_USER_INFO_FIELDS> fields{};
    for (int i = 0; i < KR_USER_INFO_FIELDS; ++i)
        fields[size_t(i)] = block.data() + size_t(i) * KR_USER_INFO_FIELD_SIZE;

    const int result = KrReadUserInfo(FInstance, ToEngineText(UserId).constData(), fields.data());

    const auto field = [&fields](int Index) {
        return CutText(EngineText(fields[size_t(Index)], KR_USER_INFO_FIELD_SIZE),
                       MaxUserInfoLength);
    };
    Info.Nick = field(1);
    Info.Description = field(3);
    Info.About = field(4);
    Info.Gender = field(5);
    Info.MaritalStatus = field(6);
    Info.Age = field(7);
    Info.Occupation = field(8);
    Info.Location = field(9);
    Info.Interests = field(10);
    Info.CountryCode = field(11);
    return result == 0;
}

bool TKrCore::GetUserPhoto(const QString& UserId, const void*& Data, int& Size, QString& FormatName)
{
    FormatName.clear();
    Size = 0;
    Data = nullptr;
    const QByteArray userId = ToEngineText(UserId);
    int32_t size = 0;
    const char* format = nullptr;
    const auto address = [](const void* Pointer) {
        return TKrValue::Integer(qint64(reinterpret_cast<intptr_t>(Pointer)));
    };
    TKrValue request = TKrValue::Array(
        {address(userId.constData()), address(&Data), address(&size), address(&format)});
    const int result = Process(KR_OP_RUN, QStringLiteral("Protocol\\UserPhoto"), request);
    // A size without bytes would have the caller decode from nowhere.
    if (result != 0 || size <= 0 || !Data) {
        Data = nullptr;
        return false;
    }
    Size = size;
    FormatName = EngineText(format);
    return true;
}

void TKrCore::RequestUserStatus(const QString& UserId)
{
    TKrValue user = TKrValue::Text(UserId);
    Process(KR_OP_RUN, QStringLiteral("Protocol\\UserStatus"), user);
}

void TKrCore::QueryKey()
{
    TKrValue none;
    Process(KR_OP_RUN, QStringLiteral("Sender\\QueryKey"), none);
}

void TKrCore::GetTraffic(int& Sent, int& Received)
{
    Sent = 0;
    Received = 0;
    if (!FInitialized)
        return;
    int32_t sent = 0;
    int32_t received = 0;
    if (KrGetTraffic(FInstance, &sent, &received) != 0)
        return;
    Sent = sent;
    Received = received;
}

// ---- Address book requests -------------------------------------------------------

int TKrCore::BookRequestList(int Kind)
{
    return KrAddressBook(FInstance, 0, nullptr, Kind);
}

int TKrCore::BookAddContact(const QString& UserId)
{
    return KrAddressBook(FInstance, 1, ToEngineText(UserId).constData(), 1);
}

int TKrCore::BookDeleteUser(const QString& UserId)
{
    return KrAddressBook(FInstance, 2, ToEngineText(UserId).constData(), 1);
}

int TKrCore::BookSearch(const QString& Condition)
{
    return KrAddressBook(FInstance, 3, Condition.toUtf8().constData(), 6);
}

int TKrCore::BookAddByEmail(const QString& Email)
{
    return KrAddressBook(FInstance, 4, ToEngineText(Email).constData(), 1);
}

// ---- Program utilities ---------------------------------------------------------

QString TKrCore::GetAppFileName()
{
    // The whole path: a shortened one would name another file or none.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

void TKrCore::ListFiles(QStringList& List, const QString& SubDir, const QString& Ext)
{
    List.clear();
    QDir folder(TPaths::ProgramDir());
    if (!SubDir.isEmpty() && !folder.cd(SubDir))
        return;
    // Names compare without regard to case, as the file search of the
    // program's original platform did.
    List = folder.entryList({QStringLiteral("*.") + Ext},
                            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDir::Unsorted);
}

void TKrCore::RaiseOverScreenSaver()
{
    if (!ScreenSaverActive())
        return;
    QWidget* window = nullptr;
    if (auto* owner = qobject_cast<QWidget*>(parent()))
        window = owner->window();
    else
        window = QApplication::activeWindow();
    if (!window)
        return;
    window->raise();
    window->activateWindow();
}
