#pragma once

#include <QString>
#include <memory>

// A named auto-reset event shared by processes of the same user.
//
// The event exists while at least one process holds it open; when the last
// holder closes it or dies (even killed), it is gone, so the next Create
// makes a new, non-signalled event. Set leaves the event signalled until one
// waiter takes the signal.
class TNamedEvent
{
public:
    // Creates the event, or opens it when another holder has it already
    // (AlreadyExists tells which). Null when the event cannot be made.
    static std::unique_ptr<TNamedEvent> Create(const QString& Name, bool* AlreadyExists = nullptr);

    // True while some process holds the event; asks without becoming a holder.
    static bool Exists(const QString& Name);

    ~TNamedEvent();
    TNamedEvent(const TNamedEvent&) = delete;
    TNamedEvent& operator=(const TNamedEvent&) = delete;

    QString Name() const { return FName; }

    bool Set();

    // Waits up to TimeoutMs for the event and takes its signal; false on time-out.
    bool Wait(int TimeoutMs);

private:
    TNamedEvent(QString Name, int EventFd, int GuardFd, int WatchFd);
    bool TakeSignal();

    QString FName;
    int FEventFd;
    int FGuardFd;
    int FWatchFd;
};
