#include "ServiceLink.h"

#include <QFileInfo>

namespace {

// Chats or commands the client has not fetched are dropped beyond this many.
constexpr size_t MaxWaiting = 256;

// The event code that announces a user list of a kind.
int ListEventCode(int Kind)
{
    return 1536 + 16 * Kind;
}

// The event code that carries an address book result.
int BookEventCode(int Result)
{
    switch (Result) {
    case 0:
        return 1536;
    case 2:
        return 1537;
    case 3:
        return 1538;
    case 1:
        return 1539;
    default:
        return 1540;
    }
}

template <typename TMap> void KeepBounded(TMap& Waiting)
{
    while (Waiting.size() > MaxWaiting)
        Waiting.erase(Waiting.begin());
}

} // namespace

TServiceLink::TServiceLink(TPoster Poster, TServiceFactory Factory)
    : FPoster(std::move(Poster)), FFactory(std::move(Factory)), FCurrent(DemoServer)
{
    FServers.push_back({DemoServer, {}, {}});
}

TServiceLink::~TServiceLink()
{
    FConnection.reset(); // before the service it belongs to
}

void TServiceLink::PostStatus(int EventCode, intptr_t Param)
{
    if (FPoster)
        FPoster(KR_WM_STATUS, intptr_t(FStatus | quint32(EventCode & KR_STATUS_EVENT_MASK)), Param);
}

const TServiceLink::TServerEntry* TServiceLink::Entry(const QString& Name) const
{
    for (const TServerEntry& entry : FServers)
        if (entry.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

void TServiceLink::SetServer(const QString& Name, const QByteArray& AddressOrFile,
                             const QByteArray& Port)
{
    if (Name.isEmpty())
        return;
    for (TServerEntry& entry : FServers)
        if (entry.Name.compare(Name, Qt::CaseInsensitive) == 0) {
            entry.Address = AddressOrFile;
            entry.Port = Port;
            return;
        }
    FServers.push_back({Name, AddressOrFile, Port});
}

QStringList TServiceLink::Servers() const
{
    QStringList names;
    for (const TServerEntry& entry : FServers)
        names << entry.Name;
    return names;
}

bool TServiceLink::SetCurrentServer(const QString& Name)
{
    const TServerEntry* entry = Entry(Name);
    if (!entry)
        return false;
    if (entry->Name != FCurrent) {
        Disconnect();
        FCurrent = entry->Name;
    }
    Connect();
    return true;
}

void TServiceLink::Connect()
{
    if (FConnection || FConnecting)
        return;
    FConnecting = true;
    const std::weak_ptr<bool> alive = FAlive;
    const auto proceed = [this, alive](bool Open) {
        if (alive.expired() || !FConnecting || FConnection)
            return;
        if (Open) {
            ConnectNow();
        } else {
            FConnecting = false;
            PostStatus(31);
        }
    };
    if (!FGate || !FGate(proceed))
        ConnectNow();
}

void TServiceLink::ConnectNow()
{
    const TServerEntry* entry = Entry(FCurrent);
    FService = entry && FFactory ? FFactory(entry->Name, entry->Address, entry->Port) : nullptr;
    if (!FService) {
        FConnecting = false;
        PostStatus(31); // no connection: offline
        return;
    }
    FConnection = FService->Connect(this);
}

void TServiceLink::Disconnect()
{
    const bool wasConnected = FStatus & KR_STATUS_CONNECTED;
    ForgetConnection();
    if (wasConnected)
        PostStatus(0);
}

void TServiceLink::ForgetConnection()
{
    FConnection.reset();
    FService.reset();
    FConnecting = false;
    FStatus = 0;
    FAccount = {};
}

int32_t TServiceLink::Login(const QByteArray& UserId, const QByteArray& Password, bool AutoLogin)
{
    if (!FConnection || !(FStatus & KR_STATUS_CONNECTED) || LoggedIn())
        return -1;
    FConnection->Login(UserId, Password, AutoLogin);
    return 0;
}

int32_t TServiceLink::Logout()
{
    if (!FConnection || !LoggedIn())
        return -1;
    FConnection->Logout();
    return 0;
}

int32_t TServiceLink::SetAutoLogin(bool On)
{
    if (!FConnection || !LoggedIn() || FAccount.AutoLogin < 0)
        return -1;
    FConnection->SetAutoLogin(On);
    FAccount.AutoLogin = On ? 1 : 0;
    return 0;
}

QByteArray TServiceLink::Property(const QByteArray& Name) const
{
    return FConnection ? FConnection->Property(Name) : QByteArray();
}

void TServiceLink::SetProperty(const QByteArray& Name, const QByteArray& Value)
{
    if (FConnection)
        FConnection->SetProperty(Name, Value);
}

int32_t TServiceLink::AddressBook(int32_t Operation, const QByteArray& Text, int32_t Kind)
{
    if (!FConnection || !LoggedIn())
        return -1;
    return FConnection->AddressBook(Operation, Text, Kind);
}

void TServiceLink::RequestUserStatus(const QByteArray& UserId)
{
    if (FConnection && LoggedIn())
        FConnection->RequestUserStatus(UserId);
}

QByteArrayList TServiceLink::UserInfo(const QByteArray& UserId) const
{
    return FConnection && LoggedIn() ? FConnection->UserInfo(UserId) : QByteArrayList();
}

std::pair<QByteArray, QByteArray> TServiceLink::UserPhoto(const QByteArray& UserId) const
{
    return FConnection && LoggedIn() ? FConnection->UserPhoto(UserId)
                                     : std::pair<QByteArray, QByteArray>();
}

const intptr_t* TServiceLink::UserList(int Kind)
{
    TUserSlots& list = FListSlots[Kind];
    list.Texts.clear();
    list.Slots.clear();
    const auto text = [&list](const QByteArray& Bytes) {
        list.Texts.push_back(Bytes);
        return reinterpret_cast<intptr_t>(list.Texts.back().constData());
    };
    const auto found = FLists.find(Kind);
    if (found != FLists.end())
        for (const TServiceUser& user : found->second) {
            if (user.UserId.isEmpty())
                continue; // an empty id would end the list early
            list.Slots.push_back(text(user.UserId));
            list.Slots.push_back(text(user.DisplayName.toUtf8()));
            list.Slots.push_back(text(user.Conference.toUtf8()));
            list.Slots.push_back(intptr_t(user.Status));
            list.Slots.push_back(text(user.DateTime.toUtf8()));
        }
    list.Slots.insert(list.Slots.end(), 5, 0);
    return list.Slots.data();
}

bool TServiceLink::TakeChat(intptr_t Handle, QByteArray& From, QByteArray& Text, bool& System)
{
    const auto found = FChats.find(Handle);
    if (found == FChats.end())
        return false;
    From = found->second.From;
    Text = found->second.Text;
    System = found->second.System;
    FChats.erase(found);
    return true;
}

bool TServiceLink::TakeCommand(intptr_t Handle, QByteArray& From, QByteArray& Command)
{
    const auto found = FCommands.find(Handle);
    if (found == FCommands.end())
        return false;
    From = found->second.From;
    Command = found->second.Text;
    FCommands.erase(found);
    return true;
}

void TServiceLink::ServiceConnected()
{
    FConnecting = false;
    FStatus |= KR_STATUS_CONNECTED;
    PostStatus(0);
}

void TServiceLink::ServiceDisconnected()
{
    ForgetConnection();
    PostStatus(31);
}

void TServiceLink::LoginAccepted(const TServiceAccount& Account)
{
    FAccount = Account;
    FStatus |= KR_STATUS_LOGGED_IN;
    PostStatus(0);
}

void TServiceLink::LoginRefused(int EventCode)
{
    PostStatus(EventCode);
}

void TServiceLink::LoggedOut(int EventCode)
{
    FStatus &= KR_STATUS_CONNECTED;
    FAccount = {};
    FLists.clear();
    PostStatus(EventCode);
}

void TServiceLink::PropertiesChanged()
{
    PostStatus(1280);
}

void TServiceLink::ListArrived(int Kind, const QList<TServiceUser>& Users)
{
    FLists[Kind] = Users;
    PostStatus(ListEventCode(Kind));
}

void TServiceLink::BookResult(int RequestId, int Result)
{
    PostStatus(BookEventCode(Result), RequestId);
}

void TServiceLink::CallOffered(const QByteArray& From, const QString& DisplayName, bool Invitation)
{
    FPeerId = From;
    FPeerDisplayName = DisplayName;
    FStatus |= KR_STATUS_INCOMING_CALL;
    PostStatus(Invitation ? 144 : 0);
}

void TServiceLink::JoinRequested(const QByteArray& From, const QString& DisplayName)
{
    FPeerId = From;
    FPeerDisplayName = DisplayName;
    FStatus |= KR_STATUS_JOIN_REQUEST;
    PostStatus(0);
}

void TServiceLink::OfferWithdrawn()
{
    FStatus &= ~quint32(KR_STATUS_INCOMING_CALL | KR_STATUS_JOIN_REQUEST);
    PostStatus(0);
}

void TServiceLink::CallFailed(int EventCode)
{
    PostStatus(EventCode);
}

void TServiceLink::CallLinkUp(const QByteArray& Peer, const QString& DisplayName, bool Owner)
{
    FPeerId = Peer;
    FPeerDisplayName = DisplayName;
    FStatus &= ~quint32(KR_STATUS_INCOMING_CALL | KR_STATUS_JOIN_REQUEST);
    FStatus |= KR_STATUS_LINK_UP;
    PostStatus(Owner ? 160 : 0);
}

void TServiceLink::CallEstablished()
{
    if (FPoster)
        FPoster(KR_WM_CALL, KR_CALL_ESTABLISHED, 0);
}

void TServiceLink::CallEnded(TCallEnd How)
{
    if (FPoster && How == TCallEnd::PeerHungUp)
        FPoster(KR_WM_CALL, KR_CALL_PEER_HUNG_UP, 0);
    else if (FPoster && How == TCallEnd::PeerLeft)
        FPoster(KR_WM_CALL, KR_CALL_PEER_LEFT, 0);
    FStatus &= ~quint32(KR_STATUS_LINK_UP);
    PostStatus(0);
}

void TServiceLink::ChatArrived(const QByteArray& From, const QString& Text, bool System)
{
    const intptr_t handle = FNextHandle++;
    FChats[handle] = {From, Text.toUtf8(), System};
    KeepBounded(FChats);
    if (FPoster)
        FPoster(KR_WM_STATUS, intptr_t(FStatus | KR_STATUS_CHAT_WAITING), handle);
}

void TServiceLink::CommandArrived(const QByteArray& From, const QByteArray& Command)
{
    const intptr_t handle = FNextHandle++;
    FCommands[handle] = {From, Command, false};
    KeepBounded(FCommands);
    if (FPoster)
        FPoster(KR_WM_STATUS, intptr_t(FStatus | KR_STATUS_COMMAND_WAITING), handle);
}

void TServiceLink::PeerFrame(const QImage& Frame)
{
    // Pictures of a call that has ended may still be under way.
    if (FPeerFrameSink && CallUp())
        FPeerFrameSink(Frame);
}

void TServiceLink::PeerAudio(const QByteArray& Pcm)
{
    if (FPeerAudioSink && CallUp())
        FPeerAudioSink(Pcm);
}
