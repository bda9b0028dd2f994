#pragma once

#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

class TNamedEvent;

// Keeps one running instance of the program. The first start holds a
// request event and watches it; a later start signals that event, which
// brings the first instance forward, and ends.
enum TInstanceMode { imKillOld, imActivateOld };

class TKrInstanceThread : public QThread
{
    Q_OBJECT
public:
    explicit TKrInstanceThread(TNamedEvent* RequestEvent);

    std::atomic<bool> Signalled{false};
    std::atomic<bool> Finished{false};

signals:
    // Emitted on the watcher thread each time the request event fires; the
    // receiver runs on the main thread while the watcher waits for it.
    void Notify();

protected:
    void run() override;

private:
    TNamedEvent* FRequestEvent;
};

class TKrInstance : public QObject
{
    Q_OBJECT
public:
    explicit TKrInstance(QObject* Owner = nullptr);
    ~TKrInstance() override;

    QString ApplicationName;
    TInstanceMode Mode = imKillOld;
    std::function<void()> OnNotify; // runs on the main thread

    // True: this process may go on. False: another instance runs; it has been
    // asked to come forward and this process must end.
    bool CheckInstance();

    static constexpr int ExitWaitMs = 5000;

private:
    void StartWatcher();
    void WatcherNotified();

    std::unique_ptr<TNamedEvent> FRequestEvent;
    std::unique_ptr<TNamedEvent> FExitEvent;
    TKrInstanceThread* FThread = nullptr;
};
