#pragma once

#include "orvanta.h"
#include "service/ConferenceService.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

// The engine's side of the link to a conference service: the server list,
// the connection to the current server, and the translation of what the
// service says into the status words and user lists the client reads.
class TServiceLink : public IServiceClient
{
public:
    // Posts a notification (message, WParam, LParam) to the client's window.
    using TPoster = std::function<bool(uint32_t, intptr_t, intptr_t)>;
    // Makes the service a server entry names; null for one that cannot be reached.
    using TServiceFactory = std::function<std::shared_ptr<IConferenceService>(
        const QString& Name, const QByteArray& Address, const QByteArray& Port)>;

    // Gets the peer's pictures as they arrive.
    using TFrameSink = std::function<void(const QImage& Frame)>;
    // Gets the peer's sound as it arrives (see ServiceAudioRate).
    using TAudioSink = std::function<void(const QByteArray& Pcm)>;

    static inline const QString DemoServer = QStringLiteral("Demo");

    // Decides whether the way to the server needs the user's permission
    // first (a proxy that asks for credentials): when it does, it answers
    // true and later calls Proceed with whether the way is open.
    using TGate = std::function<bool(std::function<void(bool Open)> Proceed)>;

    TServiceLink(TPoster Poster, TServiceFactory Factory);
    void SetGate(TGate Gate) { FGate = std::move(Gate); }
    ~TServiceLink() override;

    // -- Servers
    // Adds or replaces the entry Name: an address and port, or a server file.
    void SetServer(const QString& Name, const QByteArray& AddressOrFile, const QByteArray& Port);
    QStringList Servers() const;
    QString CurrentServer() const { return FCurrent; }
    // Makes Name the current server and connects to it; false when unknown.
    bool SetCurrentServer(const QString& Name);
    QString DefaultServer() const { return DemoServer; }
    // Connects to the current server unless connected or connecting.
    void Connect();

    // -- Account
    int32_t Login(const QByteArray& UserId, const QByteArray& Password, bool AutoLogin);
    int32_t Logout();
    const TServiceAccount& Account() const { return FAccount; }
    bool LoggedIn() const { return FStatus & KR_STATUS_LOGGED_IN; }
    int32_t SetAutoLogin(bool On);

    // -- Data
    QByteArray Property(const QByteArray& Name) const;
    void SetProperty(const QByteArray& Name, const QByteArray& Value);
    int32_t AddressBook(int32_t Operation, const QByteArray& Text, int32_t Kind);
    void RequestUserStatus(const QByteArray& UserId);
    QByteArrayList UserInfo(const QByteArray& UserId) const;
    std::pair<QByteArray, QByteArray> UserPhoto(const QByteArray& UserId) const;
    // The five-slot list of a kind as it last arrived; valid until the next
    // call for the same kind.
    const intptr_t* UserList(int Kind);

    // -- Chat and peer commands waiting for the client, by the handle the
    // status word carried. Taking one removes it; false for an unknown handle.
    bool TakeChat(intptr_t Handle, QByteArray& From, QByteArray& Text, bool& System);
    bool TakeCommand(intptr_t Handle, QByteArray& From, QByteArray& Command);

    // -- The other side of the current call
    QByteArray PeerId() const { return FPeerId; }
    QString PeerDisplayName() const { return FPeerDisplayName; }
    IServiceConnection* Connection() const { return FConnection.get(); }
    bool CallUp() const { return FStatus & KR_STATUS_LINK_UP; }
    void SetPeerFrameSink(TFrameSink Sink) { FPeerFrameSink = std::move(Sink); }
    void SetPeerAudioSink(TAudioSink Sink) { FPeerAudioSink = std::move(Sink); }

    // -- IServiceClient
    void ServiceConnected() override;
    void ServiceDisconnected() override;
    void LoginAccepted(const TServiceAccount& Account) override;
    void LoginRefused(int EventCode) override;
    void LoggedOut(int EventCode) override;
    void PropertiesChanged() override;
    void ListArrived(int Kind, const QList<TServiceUser>& Users) override;
    void BookResult(int RequestId, int Result) override;
    void CallOffered(const QByteArray& From, const QString& DisplayName, bool Invitation) override;
    void JoinRequested(const QByteArray& From, const QString& DisplayName) override;
    void OfferWithdrawn() override;
    void CallFailed(int EventCode) override;
    void CallLinkUp(const QByteArray& Peer, const QString& DisplayName, bool Owner) override;
    void CallEstablished() override;
    void CallEnded(TCallEnd How) override;
    void ChatArrived(const QByteArray& From, const QString& Text, bool System) override;
    void CommandArrived(const QByteArray& From, const QByteArray& Command) override;
    void PeerFrame(const QImage& Frame) override;
    void PeerAudio(const QByteArray& Pcm) override;

private:
    struct TServerEntry
    {
        QString Name;
        QByteArray Address; // or the server file
        QByteArray Port;
    };
    struct TWaiting
    {
        QByteArray From;
        QByteArray Text;
        bool System = false;
    };
    // A list as the client reads it: slots pointing into Texts.
    struct TUserSlots
    {
        std::deque<QByteArray> Texts;
        std::vector<intptr_t> Slots;
    };

    void PostStatus(int EventCode, intptr_t Param = 0);
    void ConnectNow();
    void Disconnect();
    void ForgetConnection(); // the connection, the service and what they told
    const TServerEntry* Entry(const QString& Name) const;

    TPoster FPoster;
    TServiceFactory FFactory;
    TGate FGate;
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true); // for answers that come late
    std::vector<TServerEntry> FServers;
    QString FCurrent;
    std::shared_ptr<IConferenceService> FService;
    std::unique_ptr<IServiceConnection> FConnection;
    bool FConnecting = false;
    quint32 FStatus = 0; // KR_STATUS_* bits the client has been told
    TServiceAccount FAccount;
    std::map<int, QList<TServiceUser>> FLists;
    std::map<int, TUserSlots> FListSlots;
    std::map<intptr_t, TWaiting> FChats;
    std::map<intptr_t, TWaiting> FCommands;
    intptr_t FNextHandle = 1;
    QByteArray FPeerId;
    QString FPeerDisplayName;
    TFrameSink FPeerFrameSink;
    TAudioSink FPeerAudioSink;
};
