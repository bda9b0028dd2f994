#include "AddressBook.h"

#include "engine/KrClient.h"

TKrBooks::TKrBooks(QObject* Owner) : QObject(Owner) {}

void TKrBooks::SetKrCore(TKrCore* Value)
{
    FKrCore = Value;
    if (!FKrCore)
        return;
    FKrCore->OnListArrival = [this](TKrCore*, int Kind, const QStringList& List) {
        HandleUserList(Kind, List);
    };
    FKrCore->OnBookResult = [this](TKrCore*, int Result, int RequestId) {
        HandleBookResult(Result, RequestId);
    };
}

void TKrBooks::AddRequest(const QString& Name, const QString& UserID, TActionEnum Action,
                          int Number)
{
    FRequests.append(
        {Name.left(TBookRecord::MaxText), UserID.left(TBookRecord::MaxText), Action, Number});
}

void TKrBooks::AddFriendByEmail(const QString& Email)
{
    if (!FKrCore)
        return;
    AddRequest(Email, QString(), aeAdd, FKrCore->BookAddByEmail(Email));
    RequestList(1);
}

void TKrBooks::AddFriend(const QString& Name, const QString& UserID)
{
    if (!FKrCore)
        return;
    AddRequest(Name, QString(), aeAdd, FKrCore->BookAddContact(UserID));
    RequestList(1);
}

void TKrBooks::DeleteFriend(const QString& Name, const QString& UserID)
{
    if (!FKrCore)
        return;
    AddRequest(Name, UserID, aeDelete, FKrCore->BookDeleteUser(UserID));
    RequestList(1);
}

void TKrBooks::RequestList(int Kind)
{
    if (FKrCore)
        FKrCore->BookRequestList(Kind);
}

void TKrBooks::SearchUsers(const QString& Filter)
{
    if (FKrCore)
        FKrCore->BookSearch(Filter);
}

QString TKrBooks::BracketChar(const QString& Text, QChar Ch)
{
    QString result;
    result.reserve(Text.size());
    for (const QChar c : Text) {
        if (c == Ch) {
            result += QLatin1Char('[');
            result += c;
            result += QLatin1Char(']');
        } else {
            result += c;
        }
    }
    return result;
}

const QList<TBookRecord>* TKrBooks::List(int ListSel) const
{
    switch (ListSel) {
    case 0:
    case 1:
        return &FBook;
    case 2:
        return &FSearchResults;
    case 3:
        return &FHistory;
    default:
        return nullptr;
    }
}

QString TKrBooks::GetUserField(const QString& Key, int Field, int ListSel) const
{
    const QList<TBookRecord>* list = List(ListSel);
    if (!list)
        return {};
    for (const TBookRecord& record : *list) {
        if (record.UserID != Key)
            continue;
        switch (Field) {
        case 0:
            return record.Conference;
        case 1:
            return record.UserID;
        case 2:
            return record.DisplayName;
        case 3:
            return QString::number(record.Status);
        case 4:
            return record.DateTime;
        default:
            return {};
        }
    }
    return {};
}

void TKrBooks::CopyList(QList<const TBookRecord*>& Dest, int Which) const
{
    const QList<TBookRecord>* list = List(Which); // 1 is the book too, its online part
    if (!list)
        return;
    for (const TBookRecord& record : *list)
        if (Which != 1 || record.Online())
            Dest.append(&record);
}

void TKrBooks::ClearAll()
{
    FBook.clear();
    FSearchResults.clear();
    FHistory.clear();
    FRequests.clear();
}

void TKrBooks::HandleUserList(int Kind, const QStringList& Strings)
{
    if (Kind == 10) {
        if (OnStatusNotify && Strings.size() >= 4)
            OnStatusNotify(this, Strings.at(2), Strings.at(3).toInt());
        return;
    }
    QList<TBookRecord>* target = Kind == 1                ? &FBook
                                 : Kind == 6              ? &FSearchResults
                                 : Kind >= 3 && Kind <= 5 ? &FHistory
                                                          : nullptr;
    if (!target)
        return;
    const bool history = Kind >= 3 && Kind <= 5;
    target->clear();
    // Five strings a user; a short last group is read as far as it goes.
    for (qsizetype i = 0; i < Strings.size(); i += 5) {
        TBookRecord record;
        record.UserID = Strings.value(i).left(TBookRecord::MaxText);
        record.DisplayName = Strings.value(i + 1).left(TBookRecord::MaxText);
        record.Conference = Strings.value(i + 2).left(TBookRecord::MaxText);
        record.Status = Strings.value(i + 3).toInt();
        if (history)
            record.DateTime = Strings.value(i + 4).left(TBookRecord::MaxDateTime);
        target->append(record);
    }
    if (OnUserList)
        OnUserList(this, unsigned(Kind));
}

void TKrBooks::HandleBookResult(int Result, int RequestNumber)
{
    for (qsizetype i = 0; i < FRequests.size(); ++i) {
        if (FRequests.at(i).RequestNumber != RequestNumber)
            continue;
        const TBookRequest request = FRequests.takeAt(i);
        if (OnBookNotify)
            OnBookNotify(request.Name, request.Action, TBookMessages(Result));
        return;
    }
}
