#include "KrInstance.h"

#include "platform/NamedEvent.h"

#include <QCoreApplication>

namespace {

constexpr int WatchTimeoutMs = 200;
constexpr int FinishPollMs = 50;

} // namespace

TKrInstanceThread::TKrInstanceThread(TNamedEvent* RequestEvent) : FRequestEvent(RequestEvent) {}

void TKrInstanceThread::run()
{
    try {
        while (!isInterruptionRequested()) {
            if (FRequestEvent->Wait(WatchTimeoutMs)) {
                Signalled = true;
                emit Notify();
            }
        }
    } catch (...) {
    }
    Finished = true;
}

TKrInstance::TKrInstance(QObject* Owner) : QObject(Owner) {}

TKrInstance::~TKrInstance()
{
    if (FThread) {
        OnNotify = nullptr;
        if (FThread->Signalled && FExitEvent)
            FExitEvent->Set(); // releases a newer start waiting for us to end
        FThread->requestInterruption();
        while (!FThread->Finished) {
            // The watcher may be waiting for the main thread to take its
            // notice; with the handler cleared that does nothing, but it
            // must run so the watcher can leave.
            QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
            QThread::msleep(FinishPollMs);
        }
        FThread->wait();
        delete FThread;
    }
}

bool TKrInstance::CheckInstance()
{
    if (ApplicationName.isEmpty())
        return false;
    bool exitExisted = false;
    bool requestExisted = false;
    FExitEvent = TNamedEvent::Create(ApplicationName + QStringLiteral("_EventDie"), &exitExisted);
    FRequestEvent = TNamedEvent::Create(ApplicationName + QStringLiteral("_Event"), &requestExisted);
    if (!FRequestEvent)
        return false;
    if (requestExisted) {
        FRequestEvent->Set();
        if (Mode == imKillOld && FExitEvent && FExitEvent->Wait(ExitWaitMs)) {
            StartWatcher();
            return true;
        }
        return false;
    }
    StartWatcher();
    return true;
}

void TKrInstance::StartWatcher()
{
    FThread = new TKrInstanceThread(FRequestEvent.get());
    connect(FThread, &TKrInstanceThread::Notify, this, &TKrInstance::WatcherNotified,
            Qt::BlockingQueuedConnection);
    FThread->start();
}

void TKrInstance::WatcherNotified()
{
    if (OnNotify)
        OnNotify();
}
