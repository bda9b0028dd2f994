#include "DemoService.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cstdio>

namespace {

// A status change as the address book model reads it: the user named in the
// third text.
TServiceUser StatusChange(const TDemoDirectory& Directory, const QString& UserId)
{
    const auto presence = Directory.Presence(UserId);
    return {UserId.toUtf8(), QString(), UserId, presence ? presence->Status : -1, QString()};
}

} // namespace

// One client of the demo service.
class TDemoConnection : public QObject, public IServiceConnection
{
public:
    enum class TCallState
    {
        None,
        Offered,
        Calling,
        Up
    };

    TDemoConnection(TDemoService* Service, IServiceClient* Client, bool Usable)
        : FService(Service), FClient(Client)
    {
        FService->Register(this);
        Later(0, [this, Usable] {
            if (Usable)
                FClient->ServiceConnected();
            else
                FClient->ServiceDisconnected();
        });
    }
    ~TDemoConnection() override
    {
        EndCall(true);
        if (!FUserId.isEmpty())
            LeaveService();
        FService->Unregister(this);
    }

    QString UserId() const { return FUserId; }
    TCallState CallState() const { return FState; }
    QString Peer() const { return FPeer; }
    IServiceClient* Client() const { return FClient; }

    // Runs Action on the engine's thread after Ms, unless this connection is gone by then.
    void Later(int Ms, std::function<void()> Action)
    {
        QTimer::singleShot(Ms, this, std::move(Action));
    }

    // -- IServiceConnection
    void Login(const QByteArray& UserId, const QByteArray& Password, bool AutoLogin) override
    {
        const QString user = QString::fromUtf8(UserId);
        const QString password = QString::fromUtf8(Password);
        Later(0, [this, user, password, AutoLogin] { DoLogin(user, password, AutoLogin); });
    }
    void Logout() override
    {
        Later(0, [this] {
            if (FUserId.isEmpty())
                return;
            EndCall(true);
            LeaveService();
            FClient->LoggedOut(0);
        });
    }
    void SetAutoLogin(bool On) override { FAutoLogin = On ? 1 : 0; }

    QByteArray Property(const QByteArray& Name) const override
    {
        return Directory()->ServerProperties().value(QString::fromUtf8(Name)).toUtf8();
    }
    void SetProperty(const QByteArray& Name, const QByteArray& Value) override
    {
        FService->SetServerProperty(QString::fromUtf8(Name), QString::fromUtf8(Value));
    }

    int AddressBook(int Operation, const QByteArray& Text, int Kind) override
    {
        if (FUserId.isEmpty())
            return -1;
        const int request = ++FRequests;
        const QString text = QString::fromUtf8(Text);
        Later(0, [this, Operation, Text, text, Kind, request] {
            if (FUserId.isEmpty())
                return;
            switch (Operation) {
            case 0:
                SendList(Kind);
                break;
            case 1:
                FClient->BookResult(request, int(Directory()->AddContact(FUserId, text)));
                break;
            case 2:
                FClient->BookResult(request, int(Directory()->DeleteContact(FUserId, text)));
                break;
            case 3: {
                // A condition outside the grammar is refused, never run.
                const auto condition = ParseSearchCondition(Text);
                FClient->ListArrived(6, condition ? ToUsers(Directory()->Search(*condition, 200))
                                                  : QList<TServiceUser>());
                break;
            }
            case 4:
                FClient->BookResult(request, int(Directory()->AddContactByEmail(FUserId, text)));
                break;
            }
        });
        return request;
    }
    void RequestUserStatus(const QByteArray& UserId) override
    {
        const QString user = QString::fromUtf8(UserId);
        Later(0, [this, user] {
            if (!FUserId.isEmpty())
                FClient->ListArrived(10, {StatusChange(*Directory(), user)});
        });
    }
    QByteArrayList UserInfo(const QByteArray& UserId) const override
    {
        QByteArrayList fields;
        for (const QString& field : Directory()->UserInfo(QString::fromUtf8(UserId)))
            fields << field.toUtf8();
        return fields;
    }
    std::pair<QByteArray, QByteArray> UserPhoto(const QByteArray& UserId) const override
    {
        const TDemoPhoto photo = Directory()->Photo(QString::fromUtf8(UserId));
        return {photo.Data, photo.Format};
    }

    bool Call(int ConferenceType, const QByteArray& Name, const QByteArray& Password) override;
    bool Accept() override;
    bool Reject() override;
    void HangUp() override { EndCall(true); }
    void Invite(const QByteArray&) override {}
    bool SendChat(const QString& Text) override;
    bool SendCommand(const QByteArray& Command, const QByteArray& UserId) override;
    void SendFrame(const QImage& Frame) override;
    void SendAudio(const QByteArray& Pcm) override;

    // -- From the service and other connections
    bool OfferFrom(const QString& From, TDemoConnection* Caller, bool Invitation);
    void PeerAnswered(bool Accepted);
    void PeerHungUp();
    void ChatFrom(const QString& From, const QString& Text)
    {
        Later(0, [this, From, Text] {
            if (FState == TCallState::Up)
                FClient->ChatArrived(From.toUtf8(), Text, false);
        });
    }
    void CommandFrom(const QString& From, const QByteArray& Command)
    {
        Later(0, [this, From, Command] {
            if (FState == TCallState::Up)
                FClient->CommandArrived(From.toUtf8(), Command);
        });
    }
    void LoggedInElsewhere()
    {
        EndCall(true);
        FUserId.clear();
        Later(0, [this] { FClient->LoggedOut(69); });
    }
    void Drop()
    {
        EndCall(true);
        if (!FUserId.isEmpty())
            LeaveService();
        FDropped = true;
        Later(0, [this] { FClient->ServiceDisconnected(); });
    }
    void SendList(int Kind)
    {
        if (Kind == 1)
            FClient->ListArrived(1, ToUsers(Directory()->AddressBook(FUserId)));
        else if (Kind >= 3 && Kind <= 5)
            FClient->ListArrived(Kind, ToUsers(Directory()->History(FUserId, Kind)));
        else
            FClient->ListArrived(Kind, {});
    }

private:
    TDemoDirectory* Directory() const { return FService->Directory(); }

    void DoLogin(const QString& User, const QString& Password, bool AutoLogin);
    void LeaveService()
    {
        const QString user = std::exchange(FUserId, QString());
        Directory()->SetPresence(user, 0, QString());
        FService->NotifyWatchers(user);
    }
    static QList<TServiceUser> ToUsers(const QList<TDirectoryUser>& Users)
    {
        QList<TServiceUser> result;
        for (const TDirectoryUser& user : Users)
            result.append({user.UserId.toUtf8(), user.DisplayName, user.Conference, user.Status,
                           user.DateTime});
        return result;
    }
    QString DisplayName(const QString& User) const
    {
        const auto account = Directory()->Account(User);
        return account ? account->DisplayName : User;
    }
    void Record(int Kind, const QString& Peer)
    {
        if (!FUserId.isEmpty())
            Directory()->RecordCall(FUserId, Kind, Peer, QDateTime::currentDateTime());
    }
    void GoUp();
    void EndCall(bool TellPeer);

    TDemoService* FService;
    IServiceClient* FClient;
    QString FUserId;
    int FAutoLogin = 0;
    int FRequests = 0;
    bool FDropped = false;

    TCallState FState = TCallState::None;
    QString FPeer;
    QPointer<TDemoConnection> FPeerConnection; // null for a played user
    quint64 FCallSerial = 0;                   // cancels the timers of an earlier call
};

void TDemoConnection::DoLogin(const QString& User, const QString& Password, bool AutoLogin)
{
    if (FDropped || !FUserId.isEmpty())
        return;
    if (const int refusal = std::exchange(FService->FRefuseNextLogin, 0)) {
        FClient->LoginRefused(refusal);
        return;
    }
    const auto account = Directory()->Account(User);
    if (!account || !Directory()->CheckPassword(User, Password)) {
        FClient->LoginRefused(33);
        return;
    }
    if (TDemoConnection* elsewhere = FService->ConnectionOf(account->UserId))
        elsewhere->LoggedInElsewhere();
    FUserId = account->UserId;
    FAutoLogin = AutoLogin ? 1 : 0;
    Directory()->SetPresence(FUserId, 1, QString());
    FClient->LoginAccepted({FUserId.toUtf8(), account->DisplayName, account->Flags, FAutoLogin});
    // The address book follows the login unasked, as it does every presence change.
    Later(0, [this] {
        if (!FUserId.isEmpty())
            SendList(1);
    });
    FClient->PropertiesChanged();
    FService->NotifyWatchers(FUserId);

    // The played caller rings a little later, once per login.
    const QString me = FUserId;
    Later(FService->Timings.CallerDelayMs, [this, me] {
        if (FUserId != me)
            return;
        for (const TDirectoryUser& friendUser : Directory()->AddressBook(me)) {
            const auto account = Directory()->Account(friendUser.UserId);
            if (account && account->Role == QLatin1String("caller")) {
                OfferFrom(account->UserId, nullptr, false);
                return;
            }
        }
    });
}

bool TDemoConnection::Call(int ConferenceType, const QByteArray& Name, const QByteArray&)
{
    if (FUserId.isEmpty() || FState != TCallState::None)
        return false;
    QString target = QString::fromUtf8(Name);
    // A conference is named with "@c_" in front, or asked for to join (type 12) by its name.
    constexpr int JoinConference = 12;
    const bool prefixed = target.startsWith(QLatin1String("@c_"));
    const bool conference = prefixed || ConferenceType == JoinConference;
    if (prefixed)
        target = target.mid(3);
    FState = TCallState::Calling;
    FPeer = target;
    FPeerConnection = nullptr;
    const quint64 serial = ++FCallSerial;
    const auto fail = [this, serial](int EventCode) {
        Later(FService->Timings.AnswerMs, [this, serial, EventCode] {
            if (FCallSerial != serial || FState != TCallState::Calling)
                return;
            FState = TCallState::None;
            FClient->CallFailed(EventCode);
        });
    };
    Record(5, target);

    if (conference) {
        // Conferences that a friend played by the service runs are open to join.
        for (const TDirectoryUser& user : Directory()->AddressBook(FUserId)) {
            if (user.Status == 5 && user.Conference == target &&
                !FService->ConnectionOf(user.UserId)) {
                FPeer = user.UserId;
                Later(FService->Timings.AnswerMs, [this, serial] {
                    if (FCallSerial == serial && FState == TCallState::Calling)
                        GoUp();
                });
                return true;
            }
        }
        fail(141);
        return true;
    }

    const auto account = Directory()->Account(target);
    if (!account || account->UserId.compare(FUserId, Qt::CaseInsensitive) == 0) {
        fail(134);
        return true;
    }
    FPeer = account->UserId;
    if (TDemoConnection* other = FService->ConnectionOf(FPeer)) {
        if (!other->OfferFrom(FUserId, this, false))
            fail(133);
        else
            FPeerConnection = other;
        return true;
    }
    const QString role = account->Role;
    const auto presence = Directory()->Presence(FPeer);
    if (role == QLatin1String("busy")) {
        fail(133);
    } else if (role == QLatin1String("silent")) {
        // Rings until the caller gives up.
    } else if (role == QLatin1String("echo") || (presence && presence->Status > 0)) {
        Later(FService->Timings.AnswerMs, [this, serial] {
            if (FCallSerial == serial && FState == TCallState::Calling)
                GoUp();
        });
    } else {
        fail(135);
    }
    return true;
}

bool TDemoConnection::OfferFrom(const QString& From, TDemoConnection* Caller, bool Invitation)
{
    if (FUserId.isEmpty() || FState != TCallState::None)
        return false;
    FState = TCallState::Offered;
    FPeer = From;
    FPeerConnection = Caller;
    const quint64 serial = ++FCallSerial;
    const QString name = DisplayName(From);
    Later(0, [this, serial, From, name, Invitation] {
        if (FCallSerial == serial && FState == TCallState::Offered)
            FClient->CallOffered(From.toUtf8(), name, Invitation);
    });
    Later(FService->Timings.OfferTimeoutMs, [this, serial] {
        if (FCallSerial != serial || FState != TCallState::Offered)
            return;
        FState = TCallState::None;
        Record(3, FPeer);
        FClient->OfferWithdrawn();
        if (FPeerConnection)
            FPeerConnection->PeerAnswered(false);
    });
    return true;
}

bool TDemoConnection::Accept()
{
    if (FState != TCallState::Offered)
        return false;
    Record(4, FPeer);
    if (FPeerConnection)
        FPeerConnection->PeerAnswered(true);
    GoUp();
    return true;
}

bool TDemoConnection::Reject()
{
    if (FState != TCallState::Offered)
        return false;
    FState = TCallState::None;
    ++FCallSerial;
    Later(0, [this] { FClient->OfferWithdrawn(); });
    if (FPeerConnection)
        FPeerConnection->PeerAnswered(false);
    return true;
}

void TDemoConnection::PeerAnswered(bool Accepted)
{
    if (FState != TCallState::Calling)
        return;
    if (Accepted) {
        GoUp();
        return;
    }
    FState = TCallState::None;
    Later(0, [this] { FClient->CallFailed(133); });
}

void TDemoConnection::GoUp()
{
    FState = TCallState::Up;
    const quint64 serial = ++FCallSerial;
    const QByteArray peer = FPeer.toUtf8();
    const QString name = DisplayName(FPeer);
    Later(0, [this, serial, peer, name] {
        if (FCallSerial != serial || FState != TCallState::Up)
            return;
        FClient->CallLinkUp(peer, name, false);
        Later(50, [this, serial] {
            if (FCallSerial == serial && FState == TCallState::Up)
                FClient->CallEstablished();
        });
    });
}

void TDemoConnection::PeerHungUp()
{
    if (FState == TCallState::None)
        return;
    const TCallState state = std::exchange(FState, TCallState::None);
    ++FCallSerial;
    FPeerConnection = nullptr;
    Later(0, [this, state] {
        if (state == TCallState::Offered) {
            Record(3, FPeer);
            FClient->OfferWithdrawn();
        } else if (state == TCallState::Up) {
            FClient->CallEnded(TCallEnd::PeerHungUp);
        } else {
            FClient->CallFailed(135);
        }
    });
}

void TDemoConnection::EndCall(bool TellPeer)
{
    if (FState == TCallState::None)
        return;
    const TCallState state = std::exchange(FState, TCallState::None);
    ++FCallSerial;
    if (TellPeer && FPeerConnection)
        FPeerConnection->PeerHungUp();
    FPeerConnection = nullptr;
    if (state == TCallState::Up && TellPeer)
        Later(0, [this] { FClient->CallEnded(TCallEnd::LinkLost); });
    else if (state == TCallState::Offered && TellPeer)
        Later(0, [this] { FClient->OfferWithdrawn(); });
}

bool TDemoConnection::SendChat(const QString& Text)
{
    if (FState != TCallState::Up)
        return false;
    if (FPeerConnection)
        FPeerConnection->ChatFrom(FUserId, Text);
    else
        ChatFrom(FPeer, Text); // played users say it back
    return true;
}

bool TDemoConnection::SendCommand(const QByteArray& Command, const QByteArray&)
{
    if (FState != TCallState::Up)
        return false;
    if (FPeerConnection)
        FPeerConnection->CommandFrom(FUserId, Command);
    else if (Command == "EchoOn")
        CommandFrom(FPeer, "EchoOnCommit");
    else if (Command == "EchoOFF")
        CommandFrom(FPeer, "EchoOffCommit");
    return true;
}

void TDemoConnection::SendFrame(const QImage& Frame)
{
    if (FState != TCallState::Up)
        return;
    if (FPeerConnection) {
        QPointer<TDemoConnection> peer = FPeerConnection;
        peer->Later(0, [peer, Frame] {
            if (peer && peer->FState == TCallState::Up)
                peer->FClient->PeerFrame(Frame);
        });
    } else {
        Later(0, [this, Frame] {
            if (FState == TCallState::Up)
                FClient->PeerFrame(Frame);
        });
    }
}

void TDemoConnection::SendAudio(const QByteArray& Pcm)
{
    if (FState != TCallState::Up || Pcm.isEmpty() || Pcm.size() > MaxAudioChunk ||
        Pcm.size() % 2 != 0)
        return;
    if (FPeerConnection) {
        QPointer<TDemoConnection> peer = FPeerConnection;
        peer->Later(0, [peer, Pcm] {
            if (peer && peer->FState == TCallState::Up)
                peer->FClient->PeerAudio(Pcm);
        });
    } else {
        Later(0, [this, Pcm] {
            if (FState == TCallState::Up)
                FClient->PeerAudio(Pcm);
        });
    }
}

// ---- The service ---------------------------------------------------------------

TDemoService::TDemoService(QString DatabasePath, QString SeedPath)
    : FDatabasePath(std::move(DatabasePath)), FSeedPath(std::move(SeedPath))
{
    connect(&FPresenceTimer, &QTimer::timeout, this, [this] { ChangeSomePresence(); });
}

TDemoService::~TDemoService() = default;

TDemoService::TTimings& TDemoService::DefaultTimings()
{
    static TTimings timings;
    return timings;
}

std::shared_ptr<TDemoService> TDemoService::Instance()
{
    static std::weak_ptr<TDemoService> instance;
    std::shared_ptr<TDemoService> service = instance.lock();
    if (!service) {
        service = std::make_shared<TDemoService>(
            QDir(TPaths::DataDir()).filePath(QStringLiteral("demo/demo.sqlite")),
            QDir(TPaths::ProgramDir()).filePath(QStringLiteral("demo/seed.json")));
        service->Timings = DefaultTimings();
        instance = service;
    }
    return service;
}

bool TDemoService::OpenDirectory()
{
    if (FDirectory)
        return true;
    TPaths::EnsureDir(QFileInfo(FDatabasePath).absolutePath());
    QString error;
    FDirectory = TDemoDirectory::Open(FDatabasePath, FSeedPath, &error);
    if (!FDirectory) {
        std::fprintf(stderr, "demo service unavailable: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

std::unique_ptr<IServiceConnection> TDemoService::Connect(IServiceClient* Client)
{
    const bool usable = Client && OpenDirectory();
    if (usable && !FPresenceTimer.isActive())
        FPresenceTimer.start(Timings.PresenceMs);
    return std::make_unique<TDemoConnection>(this, Client, usable);
}

void TDemoService::Register(TDemoConnection* Connection)
{
    FConnections.append(Connection);
}

void TDemoService::Unregister(TDemoConnection* Connection)
{
    FConnections.removeAll(Connection);
    if (FConnections.isEmpty())
        FPresenceTimer.stop();
}

TDemoConnection* TDemoService::ConnectionOf(const QString& UserId) const
{
    for (TDemoConnection* connection : FConnections)
        if (!UserId.isEmpty() && connection->UserId().compare(UserId, Qt::CaseInsensitive) == 0)
            return connection;
    return nullptr;
}

void TDemoService::NotifyWatchers(const QString& UserId)
{
    if (!FDirectory)
        return;
    const TServiceUser change = StatusChange(*FDirectory, UserId);
    for (const QString& watcher : FDirectory->Watchers(UserId))
        if (TDemoConnection* connection = ConnectionOf(watcher))
            connection->Later(0, [connection, change] {
                if (connection->UserId().isEmpty())
                    return;
                connection->Client()->ListArrived(10, {change});
                // Like a real server, send the watcher's address book again so
                // that its friends list shows the new presence.
                connection->SendList(1);
            });
}

void TDemoService::ChangeSomePresence()
{
    if (!FDirectory)
        return;
    // A friend of someone connected, played by the service, goes online, busy or away.
    QStringList candidates;
    for (TDemoConnection* connection : FConnections)
        for (const TDirectoryUser& friendUser : FDirectory->AddressBook(connection->UserId())) {
            const auto account = FDirectory->Account(friendUser.UserId);
            if (account && account->Role == QLatin1String("user") &&
                !ConnectionOf(friendUser.UserId) && friendUser.Status >= 0 &&
                friendUser.Status <= 2)
                candidates << friendUser.UserId;
        }
    if (candidates.isEmpty())
        return;
    const QString user = candidates.at(QRandomGenerator::global()->bounded(candidates.size()));
    SetPresence(user, QRandomGenerator::global()->bounded(3));
}

bool TDemoService::PlaceCallFrom(const QString& From, const QString& UserId, bool Invitation)
{
    TDemoConnection* target = ConnectionOf(UserId);
    return target && target->OfferFrom(From, ConnectionOf(From), Invitation);
}

void TDemoService::HangUpFrom(const QString& UserId)
{
    for (TDemoConnection* connection : FConnections)
        if (connection->CallState() != TDemoConnection::TCallState::None &&
            connection->Peer().compare(UserId, Qt::CaseInsensitive) == 0)
            connection->PeerHungUp();
}

void TDemoService::SendChatFrom(const QString& From, const QString& UserId, const QString& Text)
{
    if (TDemoConnection* target = ConnectionOf(UserId))
        target->ChatFrom(From, Text);
}

void TDemoService::SendCommandFrom(const QString& From, const QString& UserId,
                                   const QByteArray& Command)
{
    if (TDemoConnection* target = ConnectionOf(UserId))
        target->CommandFrom(From, Command);
}

void TDemoService::SetPresence(const QString& UserId, int Status, const QString& Conference)
{
    if (FDirectory && FDirectory->SetPresence(UserId, Status, Conference))
        NotifyWatchers(UserId);
}

void TDemoService::RefuseNextLogin(int EventCode)
{
    FRefuseNextLogin = EventCode;
}

void TDemoService::DropConnections()
{
    for (TDemoConnection* connection : FConnections)
        connection->Drop();
}

void TDemoService::SetServerProperty(const QString& Name, const QString& Value)
{
    if (!FDirectory || !FDirectory->SetServerProperty(Name, Value))
        return;
    for (TDemoConnection* connection : FConnections)
        connection->Later(0, [connection] { connection->Client()->PropertiesChanged(); });
}
