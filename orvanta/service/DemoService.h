#pragma once

#include "ConferenceService.h"
#include "DemoDirectory.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class TDemoConnection;

// The built-in demo service: every engine instance of the process connects
// to the same one, so clients in one process reach each other, and a few
// played users answer like people would: "echo" takes every call and sends
// back your picture, chat and echo commands, "busy" is always busy, "silent"
// never answers, "caller" calls whoever logs in a few seconds later. Friends
// change their presence now and then.
class TDemoService : public QObject, public IConferenceService
{
public:
    struct TTimings
    {
        int AnswerMs = 800;         // a played user picks up or refuses
        int CallerDelayMs = 6000;   // the caller calls after a login
        int OfferTimeoutMs = 20000; // an unanswered call is missed
        int PresenceMs = 25000;     // friends change their presence
    };

    // Database and seed default to the user's data folder and the seed next
    // to the program; tests pass their own.
    TDemoService(QString DatabasePath, QString SeedPath);
    ~TDemoService() override;

    // The process-wide service, while any engine instance uses it.
    static std::shared_ptr<TDemoService> Instance();
    // The timings a new process-wide service starts with.
    static TTimings& DefaultTimings();

    QString Name() const override { return QStringLiteral("Demo"); }
    std::unique_ptr<IServiceConnection> Connect(IServiceClient* Client) override;

    TDemoDirectory* Directory() const { return FDirectory.get(); }
    TTimings Timings;

    // -- For tests and demos: make things happen now.
    // A played user calls UserId (an invitation when Invitation).
    bool PlaceCallFrom(const QString& From, const QString& UserId, bool Invitation = false);
    // A played user ends whatever call it has with a client.
    void HangUpFrom(const QString& UserId);
    void SendChatFrom(const QString& From, const QString& UserId, const QString& Text);
    void SendCommandFrom(const QString& From, const QString& UserId, const QByteArray& Command);
    void SetPresence(const QString& UserId, int Status, const QString& Conference = {});
    void RefuseNextLogin(int EventCode);
    void DropConnections();
    void SetServerProperty(const QString& Name, const QString& Value);

private:
    friend class TDemoConnection;

    bool OpenDirectory();
    void Register(TDemoConnection* Connection);
    void Unregister(TDemoConnection* Connection);
    TDemoConnection* ConnectionOf(const QString& UserId) const;
    void NotifyWatchers(const QString& UserId);
    void ChangeSomePresence();

    QString FDatabasePath;
    QString FSeedPath;
    std::unique_ptr<TDemoDirectory> FDirectory;
    QList<TDemoConnection*> FConnections;
    int FRefuseNextLogin = 0;
    QTimer FPresenceTimer;
};
