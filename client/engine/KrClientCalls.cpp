// The engine component: servers, login, calls, receivers, chat and echo.
#include "KrClient.h"

#include <QFileInfo>
#include <utility>
#include <vector>

namespace {

constexpr int AccountKindMask = 0xF;
constexpr int AccountValid = 0x10;
constexpr int CommunicatorAccount = 1;
constexpr int AdvisorAccount = 2;

// The rights each account flag grants, by account kind.
const std::vector<std::pair<int, TAccountRights>> CommunicatorRights = {
    {0x20, arMultiConference}, {0x40, arSelectMulti}, {0x80, arCreateMulti},
    {0x100, arSearchHistory},  {0x200, arModifyAB}};
const std::vector<std::pair<int, TAccountRights>> AdvisorRights = {
    {0x20, arCreateFree},  {0x40, arCreateVIP},  {0x80, arCreatePrivate}, {0x100, arConnectFree},
    {0x200, arConnectVIP}, {0x400, arConnectSP}, {0x800, arKick}};

QString PeerReceiver(const QString& PeerName)
{
    return QStringLiteral("Receivers\\") + PeerName + QLatin1Char('>');
}

} // namespace

void TKrCore::LoadServers(const QString& ServerName, const QString& ServerAddress,
                          const QString& ServerPort, const QString& ServerFile)
{
    if (!FInitialized)
        return;
    if (!ServerFile.isEmpty() && !ServerName.isEmpty() && QFileInfo::exists(ServerFile))
        KrSetServer(FInstance, ToEngineText(ServerName).constData(),
                    ToEngineText(ServerFile).constData(), nullptr);
    else if (!ServerName.isEmpty() && !ServerAddress.isEmpty() && !ServerPort.isEmpty())
        KrSetServer(FInstance, ToEngineText(ServerName).constData(),
                    ToEngineText(ServerAddress).constData(), ToEngineText(ServerPort).constData());

    constexpr qsizetype blockSize = KR_SERVER_ENTRIES * KR_SERVER_ENTRY_SIZE;
    QByteArray names(blockSize, '\0');
    QByteArray addresses(blockSize, '\0');
    const int count = qBound(0, int(KrGetServers(FInstance, KR_SERVER_ENTRIES, names.data(),
                                                 addresses.data())),
                             KR_SERVER_ENTRIES);
    const auto entry = [&names](int Index) {
        return EngineText(names.constData() + Index * KR_SERVER_ENTRY_SIZE, KR_SERVER_ENTRY_SIZE);
    };
    FServerList.clear();
    if (count < 2)
        return;
    for (int i = 0; i < count - 1; ++i)
        FServerList << entry(i);
    const int current = FServerList.indexOf(entry(count - 1));
    if (current >= 0)
        FCurrentServer = current;
}

void TKrCore::SetCurrentServer(int Index)
{
    if (!FInitialized || Index < 0 || Index >= FServerList.size())
        return;
    KrSetCurrentServer(FInstance, ToEngineText(FServerList.at(Index)).constData());
    FCurrentServer = Index;
}

QString TKrCore::GetDefaultServerName()
{
    if (!FInitialized)
        return {};
    TTextBuffer name(KR_DEFAULT_SERVER_SIZE);
    KrGetDefaultServer(FInstance, name.Data());
    return name.Text();
}

void TKrCore::SelectDefaultServer()
{
    if (DefaultServerExist())
        SetCurrentServer(FDefaultServer);
}

void TKrCore::Login(const QString& UserName, const QString& Password, bool AutoLogin)
{
    if (!FInitialized)
        return;
    FLoginPending = KrLoginToServer(FInstance, ToEngineText(UserName).constData(),
                                    ToEngineText(Password).constData(), AutoLogin ? 1 : 0) == 0;
}

void TKrCore::Logout()
{
    if (FInitialized)
        KrLogoutServer(FInstance);
}

bool TKrCore::LoadAccountInfo()
{
    FLoginPending = false;
    TTextBuffer name(KR_NAME_BUFFER_SIZE);
    TTextBuffer displayName(KR_NAME_BUFFER_SIZE);
    TTextBuffer third(KR_NAME_BUFFER_SIZE);
    const int flags = KrGetMyName(FInstance, name.Data(), displayName.Data(), third.Data());

    bool accepted = false;
    if (flags & AccountValid) {
        const int kind = flags & AccountKindMask;
        const bool communicator = Subsystem == asCommunicator && kind == CommunicatorAccount;
        const bool advisor = Subsystem == asAdvisor && kind == AdvisorAccount;
        if (communicator || advisor) {
            FRights.clear();
            for (const auto& [bit, right] : communicator ? CommunicatorRights : AdvisorRights)
                if (flags & bit)
                    FRights.insert(right);
            accepted = true;
        }
    }
    FMyDisplayName = displayName.Text();
    FMyName = name.Text();
    switch (KrGetAutologin(FInstance)) {
    case 0:
        FAutoLogin = amDisabled;
        break;
    case 1:
        FAutoLogin = amEnabled;
        break;
    default:
        FAutoLogin = amUnsupported;
    }
    return accepted;
}

void TKrCore::ClearAccountInfo()
{
    FAutoLogin = amUnsupported;
    FRights.clear();
    FMyName.clear();
    FMyDisplayName.clear();
}

void TKrCore::SetAutoLogin(TAutoLoginMode Value)
{
    if (!FInitialized || FStatusMode != 2 || FAutoLogin == amUnsupported || Value == amUnsupported)
        return;
    KrSetAutologin(FInstance, Value == amEnabled ? 1 : 0);
    FAutoLogin = Value;
}

void TKrCore::PlaceCall(const QString& Name, const QString& Password, TConferenceType ConfType)
{
    FConferenceType = ConfType;
    const QString address =
        ConfType == ctMulti || ConfType == ctHotCreate ? QStringLiteral("@c_") + Name : Name;
    if (!FInitialized || FStatusMode != 2)
        return;
    TKrValue call = Password.isEmpty()
                        ? TKrValue::Array({TKrValue::Integer(ConfType), TKrValue::Text(address)})
                        : TKrValue::Array({TKrValue::Integer(ConfType), TKrValue::Text(address),
                                           TKrValue::Text(Password)});
    if (Process(KR_OP_RUN, QStringLiteral("Protocol\\Call"), call) == 0)
        ChangeMode(3);
}

void TKrCore::AcceptCall(bool Multi)
{
    if (!FInitialized || KrAcceptProtocolConnect(FInstance) != 0)
        return;
    FConferenceType = Multi ? ctMulti : ctPrivate;
    ChangeMode(3);
}

int TKrCore::RejectCall()
{
    return FInitialized ? KrRejectProtocolConnect(FInstance) : -1;
}

void TKrCore::HangUp()
{
    if (!FInitialized)
        return;
    KrHangupProtocolConnect(FInstance, 0);
    if (FStatusMode == 3 && !FHandShakeSuccess)
        DoCallBreak(0);
}

void TKrCore::Invite(const QString& UserName)
{
    if (!FInitialized)
        return;
    TKrValue name = TKrValue::Text(UserName);
    Process(KR_OP_RUN, QStringLiteral("Protocol\\Invite"), name);
}

QString TKrCore::GetPeerName()
{
    return OtherNames().first;
}

QString TKrCore::GetPeerDisplayName()
{
    return OtherNames().second;
}

std::pair<QString, QString> TKrCore::OtherNames()
{
    if (!FInitialized)
        return {};
    TTextBuffer name(KR_NAME_BUFFER_SIZE);
    TTextBuffer displayName(KR_NAME_BUFFER_SIZE);
    TTextBuffer third(KR_NAME_BUFFER_SIZE);
    KrGetOtherName(FInstance, name.Data(), displayName.Data(), third.Data());
    return {name.Text(), displayName.Text()};
}

void TKrCore::ConnectSender(bool& AudioOn, bool& VideoOn)
{
    AudioOn = true;
    VideoOn = true;
    if (!FInitialized)
        return;
    KrConnectSender(FInstance, FMessageObject ? FMessageObject->Handle() : 0,
                    FConferenceType != ctPrivate);
    TKrValue enabled;
    if (Process(KR_OP_GET, QStringLiteral("Sender\\EnabledDevices"), enabled) != 0 ||
        enabled.Count() < 2)
        return;
    bool audioOk = false;
    bool videoOk = false;
    const bool audio = enabled.Element(0).AsBoolean(&audioOk);
    const bool video = enabled.Element(1).AsBoolean(&videoOk);
    if (audioOk && videoOk) {
        AudioOn = audio;
        VideoOn = video;
    }
}

void TKrCore::DisconnectSender()
{
    if (FInitialized)
        KrDisconnectSender(FInstance);
}

bool TKrCore::ConnectReceiver(IVideoPanel* Panel)
{
    if (!FInitialized)
        return true;
    if (Panel)
        Panel->StopRender();
    TKrValue connection =
        TKrValue::Array({TKrValue::Integer(Panel ? Panel->WindowHandle() : 0),
                         TKrValue::Integer(FMessageObject ? FMessageObject->Handle() : 0),
                         TKrValue::Integer(0)});
    KrRenderProc proc = nullptr;
    intptr_t instance = 0;
    bool failed = true;
    if (Process(KR_OP_RUN, QStringLiteral("Receivers\\ConnectReceiver"), connection) == 0 &&
        connection.Count() >= 2) {
        bool procOk = false;
        bool instanceOk = false;
        const qint64 procValue = connection.Element(0).AsInteger(&procOk);
        const qint64 instanceValue = connection.Element(1).AsInteger(&instanceOk);
        if (procOk && instanceOk) {
            proc = reinterpret_cast<KrRenderProc>(intptr_t(procValue));
            instance = intptr_t(instanceValue);
            failed = false;
        }
    }
    if (Panel)
        Panel->SetRenderProc(proc, instance);
    return failed;
}

void TKrCore::DisconnectReceiver()
{
    if (!FInitialized)
        return;
    TKrValue name = TKrValue::Text(FPeerName + QLatin1Char('>'));
    Process(KR_OP_RUN, QStringLiteral("Receivers\\DisconnectReceiver"), name);
}

void TKrCore::ResetVideoWindow(IVideoPanel* Panel, IVideoPanel* SourcePanel, bool Own)
{
    if (!FInitialized || !Panel || !SourcePanel)
        return;
    SourcePanel->StopRender();
    Panel->StopRender();
    Panel->SetRenderProc(SourcePanel->RenderProc(), SourcePanel->RenderInstance());
    TKrValue window = TKrValue::Unsigned(quint64(Panel->WindowHandle()));
    Process(KR_OP_RUN,
            Own ? QStringLiteral("Sender\\ResetWindow")
                : PeerReceiver(GetPeerName()) + QStringLiteral("\\ResetWindow"),
            window);
}

void TKrCore::MultiConnect(intptr_t)
{
    // The main window has no place for further participants; whatever the
    // handler answers, no further stream is connected.
    if (OnMultiConnect)
        OnMultiConnect(this);
}

void TKrCore::ReceiverChanged(intptr_t Id)
{
    TTextBuffer name(KR_RECEIVER_NAME_SIZE);
    const quint32 flags = KrGetReceiverState(FInstance, Id, name.Data());
    if (OnReceiverChange)
        OnReceiverChange(this, name.Text(), flags);
}

void TKrCore::ReceiverRemoved(intptr_t Id)
{
    TTextBuffer name(KR_RECEIVER_NAME_SIZE);
    KrGetReceiverState(FInstance, Id, name.Data());
    if (OnReceiverRemove)
        OnReceiverRemove(this, name.Text());
}

void TKrCore::GetReceiverFormat(int& Width, int& Height, int& Rate)
{
    Width = 320;
    Height = 240;
    Rate = 8000;
    if (!FInitialized || FStatusMode != 4)
        return;
    TKrValue format;
    if (Process(KR_OP_GET, PeerReceiver(GetPeerName()) + QStringLiteral("\\Format"), format) != 0 ||
        format.Count() < 3)
        return;
    bool ok[3] = {};
    const qint64 width = format.Element(0).AsInteger(&ok[0]);
    const qint64 height = format.Element(1).AsInteger(&ok[1]);
    const qint64 rate = format.Element(2).AsInteger(&ok[2]);
    if (ok[0] && ok[1] && ok[2]) {
        Width = int(width);
        Height = int(height);
        Rate = int(rate);
    }
}

void TKrCore::SendChatMessage(const QString& Text)
{
    if (FInitialized)
        KrSendMessage(FInstance, ToEngineText(Text).constData(), 0);
}

void TKrCore::SendCommand(const QString& Command, const QString& UserName)
{
    if (FInitialized)
        KrSendCommand(FInstance, ToEngineText(Command).constData(),
                      ToEngineText(UserName).constData());
}

void TKrCore::SetEchoMode(int Mode)
{
    if (FInitialized && Mode >= 0 && Mode <= 3)
        KrSetEchoMode(FInstance, Mode);
}

void TKrCore::RequestEcho(bool Off)
{
    if (!FInitialized || FStatusMode != 4)
        return;
    FEchoState = 2;
    SendCommand(Off ? QStringLiteral("EchoOFF") : QStringLiteral("EchoOn"), GetPeerName());
}
