#include "platform/Messages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <atomic>

namespace {

const QEvent::Type MessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// A posted message; or a message sent from another thread, whose sender waits
// for Done. The destructor hands the handled message back and wakes the
// sender, also when Qt discards the event because its target went away.
class TMessageEvent : public QEvent
{
public:
    explicit TMessageEvent(const TMessage& Message, TMessage* Reply = nullptr,
                           QSemaphore* Done = nullptr)
        : QEvent(MessageEventType), Message(Message), FReply(Reply), FDone(Done)
    {
    }
    ~TMessageEvent() override
    {
        if (FDone) {
            *FReply = Message;
            FDone->release();
        }
    }
    TMessage Message;

private:
    TMessage* FReply;
    QSemaphore* FDone;
};

// Handle -> target. A target removes itself in its destructor under the lock,
// so a target found while the lock is held is alive.
struct TTargetTable
{
    QMutex Lock;
    QHash<HWND, TMessageTarget*> Targets;
    QHash<HWND, std::intptr_t> UserData; // only handles of live targets
    std::atomic<HWND> NextHandle{0x10000};
};

TTargetTable& Table()
{
    static TTargetTable table;
    return table;
}

} // namespace

TMessageTarget::TMessageTarget(TMessageHandler Handler, QObject* Parent)
    : QObject(Parent), FHandle(Table().NextHandle.fetch_add(1)), FHandler(std::move(Handler))
{
    QMutexLocker locker(&Table().Lock);
    Table().Targets.insert(FHandle, this);
}

TMessageTarget::~TMessageTarget()
{
    QMutexLocker locker(&Table().Lock);
    Table().Targets.remove(FHandle);
    Table().UserData.remove(FHandle);
}

void TMessageTarget::Dispatch(TMessage& Message)
{
    if (FHandler)
        FHandler(Message);
}

bool TMessageTarget::event(QEvent* Event)
{
    if (Event->type() != MessageEventType)
        return QObject::event(Event);
    Dispatch(static_cast<TMessageEvent*>(Event)->Message);
    return true;
}

bool PostMessage(HWND Window, std::uint32_t Msg, WPARAM WParam, LPARAM LParam)
{
    QMutexLocker locker(&Table().Lock);
    TMessageTarget* target = Table().Targets.value(Window);
    if (!target)
        return false;
    // Qt keeps the posted events of one receiver in order.
    QCoreApplication::postEvent(target, new TMessageEvent({Msg, WParam, LParam, 0}));
    return true;
}

LRESULT SendMessage(HWND Window, std::uint32_t Msg, WPARAM WParam, LPARAM LParam)
{
    TMessage message{Msg, WParam, LParam, 0};
    TMessageTarget* sameThreadTarget = nullptr;
    QSemaphore done;
    {
        QMutexLocker locker(&Table().Lock);
        TMessageTarget* target = Table().Targets.value(Window);
        if (!target)
            return 0;
        if (target->thread() == QThread::currentThread())
            sameThreadTarget = target;
        else
            QCoreApplication::postEvent(target, new TMessageEvent(message, &message, &done),
                                        Qt::HighEventPriority);
    }
    if (sameThreadTarget)
        sameThreadTarget->Dispatch(message); // without the lock: handlers post and send too
    else
        done.acquire();
    return message.Result;
}

bool IsWindow(HWND Window)
{
    QMutexLocker locker(&Table().Lock);
    return Table().Targets.contains(Window);
}

std::intptr_t GetWindowUserData(HWND Window)
{
    QMutexLocker locker(&Table().Lock);
    return Table().UserData.value(Window, 0);
}

std::intptr_t SetWindowUserData(HWND Window, std::intptr_t Value)
{
    QMutexLocker locker(&Table().Lock);
    if (!Table().Targets.contains(Window))
        return 0;
    std::intptr_t& kept = Table().UserData[Window];
    const std::intptr_t previous = kept;
    kept = Value;
    return previous;
}
