#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QImage>
#include <QList>
#include <QString>
#include <memory>
#include <utility>

// The contract between the engine and a conference service. The engine keeps
// one connection per instance; the service answers through the client
// interface, always on the engine's thread and never from inside the call
// that caused the answer (so the engine may call the service from its
// handlers). Everything that crosses is a plain value, so the same contract
// can later be carried over a network.

// One user as lists deliver them.
struct TServiceUser
{
    QByteArray UserId;
    QString DisplayName;
    QString Conference; // conference a group conference owner runs
    int Status = 0;     // -1 unknown, 0 offline, 1 online, 2 busy, 3 and 4 multicasting, 5 conference owner
    QString DateTime;   // call history only: "MM-dd-yyyy hh:mm:ss"
};

// The logged-in account.
struct TServiceAccount
{
    QByteArray UserId;
    QString DisplayName;
    int Flags = 0;     // bits 0-3 account kind, 0x10 valid, bits 5-11 rights
    int AutoLogin = -1; // 0 off, 1 on, -1 the service does not offer it
};

// Sound crosses as 16-bit signed little-endian mono PCM at this rate, in
// chunks of whole samples; a service may refuse chunks over MaxAudioChunk.
constexpr int ServiceAudioRate = 8000;
constexpr int MaxAudioChunk = 64 * 1024;

// How a call that was up came to an end.
enum class TCallEnd { PeerHungUp, PeerLeft, LinkLost };

// What a service tells one connected client.
class IServiceClient
{
public:
    virtual ~IServiceClient() = default;

    virtual void ServiceConnected() = 0;
    virtual void ServiceDisconnected() = 0;
    // EventCode of a refusal: 33 or 65 wrong user name or password, 71 server
    // busy, 28 version no longer supported.
    virtual void LoginAccepted(const TServiceAccount& Account) = 0;
    virtual void LoginRefused(int EventCode) = 0;
    // EventCode 0 after a logout the client asked for, 69 logged in elsewhere.
    virtual void LoggedOut(int EventCode) = 0;
    virtual void PropertiesChanged() = 0;

    // Kind 1 address book, 3/4/5 missed/received/placed calls, 6 search
    // results, 8 user details ready, 10 one status change, 11 photo ready.
    virtual void ListArrived(int Kind, const QList<TServiceUser>& Users) = 0;
    // Result 0 done, 1 user not found, 2 not valid, 3 already in the book, 4 database error.
    virtual void BookResult(int RequestId, int Result) = 0;

    // An incoming call (Invitation: into a group conference), or a request
    // to join this side's conference; and its withdrawal.
    virtual void CallOffered(const QByteArray& From, const QString& DisplayName, bool Invitation) = 0;
    virtual void JoinRequested(const QByteArray& From, const QString& DisplayName) = 0;
    virtual void OfferWithdrawn() = 0;
    // A placed call failed before the other side connected: the call break
    // event code (129 to 146).
    virtual void CallFailed(int EventCode) = 0;
    virtual void CallLinkUp(const QByteArray& Peer, const QString& DisplayName, bool Owner) = 0;
    virtual void CallEstablished() = 0;
    virtual void CallEnded(TCallEnd How) = 0;

    virtual void ChatArrived(const QByteArray& From, const QString& Text, bool System) = 0;
    virtual void CommandArrived(const QByteArray& From, const QByteArray& Command) = 0;
    // The other side's picture, while a call is up.
    virtual void PeerFrame(const QImage& Frame) = 0;
    // The other side's sound (see ServiceAudioRate), while a call is up.
    virtual void PeerAudio(const QByteArray& Pcm) = 0;
};

// One client's connection to a service.
class IServiceConnection
{
public:
    virtual ~IServiceConnection() = default;

    virtual void Login(const QByteArray& UserId, const QByteArray& Password, bool AutoLogin) = 0;
    virtual void Logout() = 0;
    virtual void SetAutoLogin(bool On) = 0;

    // Server properties: empty when the service has none of that name.
    virtual QByteArray Property(const QByteArray& Name) const = 0;
    virtual void SetProperty(const QByteArray& Name, const QByteArray& Value) = 0;

    // Address book requests; each answers with a list or a BookResult.
    // Operation 0 list (Text empty, Kind), 1 add by user id, 2 delete,
    // 3 search (Text: the search condition, UTF-8), 4 add by e-mail.
    // Returns the request number, or -1 when not logged in.
    virtual int AddressBook(int Operation, const QByteArray& Text, int Kind) = 0;
    virtual void RequestUserStatus(const QByteArray& UserId) = 0;
    // The twelve detail texts, and the photo with its format name.
    virtual QByteArrayList UserInfo(const QByteArray& UserId) const = 0;
    virtual std::pair<QByteArray, QByteArray> UserPhoto(const QByteArray& UserId) const = 0;

    // False when the request cannot be made now (not logged in, a call
    // already running, no offer to answer).
    virtual bool Call(int ConferenceType, const QByteArray& Name, const QByteArray& Password) = 0;
    virtual bool Accept() = 0;
    virtual bool Reject() = 0;
    virtual void HangUp() = 0;
    virtual void Invite(const QByteArray& UserId) = 0;
    virtual bool SendChat(const QString& Text) = 0;
    virtual bool SendCommand(const QByteArray& Command, const QByteArray& UserId) = 0;
    virtual void SendFrame(const QImage& Frame) = 0;
    // Own sound (see ServiceAudioRate); dropped outside a call.
    virtual void SendAudio(const QByteArray& Pcm) = 0;
};

// A service the engine can connect to, by the name its server list shows.
class IConferenceService
{
public:
    virtual ~IConferenceService() = default;
    virtual QString Name() const = 0;
    // The connection comes up asynchronously (ServiceConnected) or fails
    // (ServiceDisconnected).
    virtual std::unique_ptr<IServiceConnection> Connect(IServiceClient* Client) = 0;
};
