#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class TKrCore;

// What an add or delete request asked for.
enum TActionEnum : quint8
{
    aeNone = 0,
    aeAdd = 1,
    aeDelete = 2
};

// The result of a request as the service reports it.
enum TBookMessages
{
    bmDone,
    bmNotFound,
    bmNotValid,
    bmAlreadyListed,
    bmDatabaseError
};

// One listed user.
struct TBookRecord
{
    static constexpr int MaxText = 255;
    static constexpr int MaxDateTime = 32;

    QString UserID;
    QString DisplayName;
    QString Conference; // the conference a group conference owner (status 5) runs
    QString DateTime;   // call history only
    qint32 Status = 0;  // -1 unknown, 0 offline, 1 online, 2 busy, 3 and 4 multicasting, 5 owner

    bool Online() const { return Status >= 1 && Status <= 5; }
};

// The client's copies of the user lists the service delivers (the address
// book, the last directory search, the last call history) and the address
// book requests still waiting for their result.
class TKrBooks : public QObject
{
public:
    using TNotifyUserList = std::function<void(TKrBooks* Sender, unsigned BookID)>;
    using TBookNotify =
        std::function<void(const QString& sName, TActionEnum eAction, TBookMessages BookMessage)>;
    using TStatusNotify = std::function<void(TKrBooks* Sender, const QString& ID, int Status)>;

    explicit TKrBooks(QObject* Owner = nullptr);

    // Takes over the engine component's list and result hooks.
    void SetKrCore(TKrCore* Value);
    TKrCore* KrCore() const { return FKrCore; }

    TNotifyUserList OnUserList; // kinds 1, 3, 4, 5, 6 rebuilt (also when empty)
    TBookNotify OnBookNotify;   // a request's result
    TStatusNotify OnStatusNotify;

    void AddFriendByEmail(const QString& Email);
    void AddFriend(const QString& Name, const QString& UserID);
    void DeleteFriend(const QString& Name, const QString& UserID);
    void RequestList(int Kind);
    void SearchUsers(const QString& Filter);

    // Text with every Ch wrapped as "[Ch]", so it matches literally in a pattern.
    static QString BracketChar(const QString& Text, QChar Ch);

    // Field 0 Conference, 1 UserID, 2 DisplayName, 3 Status, 4 DateTime of the
    // first record with this exact UserID in list 0 or 1 (book), 2 (search
    // results) or 3 (history); empty when there is none.
    QString GetUserField(const QString& Key, int Field, int ListSel) const;

    // Appends the records of list 0 (book), 1 (online friends), 2 (search
    // results) or 3 (history). They stay valid until that list is delivered
    // again or ClearAll.
    void CopyList(QList<const TBookRecord*>& Dest, int Which) const;

    void ClearAll();

    // Engine news, as the engine component hands them on.
    void HandleUserList(int Kind, const QStringList& Strings);
    void HandleBookResult(int Result, int RequestNumber);

private:
    struct TBookRequest
    {
        QString Name;
        QString UserID;
        TActionEnum Action = aeNone;
        int RequestNumber = 0;
    };

    const QList<TBookRecord>* List(int ListSel) const;
    void AddRequest(const QString& Name, const QString& UserID, TActionEnum Action, int Number);

    TKrCore* FKrCore = nullptr;
    QList<TBookRecord> FBook;
    QList<TBookRecord> FSearchResults;
    QList<TBookRecord> FHistory;
    QList<TBookRequest> FRequests;
};
