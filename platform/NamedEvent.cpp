#include "platform/NamedEvent.h"

#include "platform/Paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QUrl>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <unistd.h>

// Each event is a one-byte state file ('1' signalled, '0' not) in the runtime
// folder. Every holder keeps a shared flock on it; the kernel drops the locks
// of a process that ends, so "someone holds it" is exactly "the event
// exists". A second file's exclusive lock serialises creation and every
// change of the state. Waiters sleep on inotify for changes of the state file.

namespace {

QDir EventFolder()
{
    return QDir(QDir(TPaths::RuntimeDir()).filePath(QStringLiteral("events")));
}

QString FileStem(const QString& Name)
{
    QByteArray stem = QUrl::toPercentEncoding(Name, {}, "./~");
    if (stem.size() > 160) // keep well below file name limits
        stem = stem.left(100) + '-' +
               QCryptographicHash::hash(Name.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(stem);
}

class TGuard
{
public:
    explicit TGuard(int Fd) : FFd(Fd)
    {
        while (flock(FFd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~TGuard() { flock(FFd, LOCK_UN); }

private:
    int FFd;
};

int OpenFile(const QString& Path)
{
    return open(QFile::encodeName(Path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

bool WriteState(int Fd, char State)
{
    return pwrite(Fd, &State, 1, 0) == 1;
}

} // namespace

std::unique_ptr<TNamedEvent> TNamedEvent::Create(const QString& Name, bool* AlreadyExists)
{
    if (AlreadyExists)
        *AlreadyExists = false;
    const QDir folder = EventFolder();
    if (Name.isEmpty() || !TPaths::EnsureDir(folder.path()))
        return nullptr;
    const QString stem = folder.filePath(FileStem(Name));
    const QString eventPath = stem + QStringLiteral(".event");

    const int guardFd = OpenFile(stem + QStringLiteral(".guard"));
    const int eventFd = guardFd >= 0 ? OpenFile(eventPath) : -1;
    const int watchFd = eventFd >= 0 ? inotify_init1(IN_CLOEXEC | IN_NONBLOCK) : -1;
    const auto fail = [&]() -> std::unique_ptr<TNamedEvent> {
        for (int fd : {watchFd, eventFd, guardFd})
            if (fd >= 0)
                close(fd);
        return nullptr;
    };
    if (watchFd < 0 ||
        inotify_add_watch(watchFd, QFile::encodeName(eventPath).constData(), IN_MODIFY) < 0)
        return fail();

    {
        TGuard guard(guardFd);
        if (flock(eventFd, LOCK_EX | LOCK_NB) == 0) {
            // Nobody holds it: a new event, whatever an old file still says.
            if (ftruncate(eventFd, 0) != 0 || !WriteState(eventFd, '0'))
                return fail();
        } else if (errno != EWOULDBLOCK) {
            return fail();
        } else if (AlreadyExists) {
            *AlreadyExists = true;
        }
        if (flock(eventFd, LOCK_SH) != 0)
            return fail();
    }
    return std::unique_ptr<TNamedEvent>(new TNamedEvent(Name, eventFd, guardFd, watchFd));
}

bool TNamedEvent::Exists(const QString& Name)
{
    const QString stem = EventFolder().filePath(FileStem(Name));
    if (Name.isEmpty() || !QFile::exists(stem + QStringLiteral(".event")))
        return false;
    const int guardFd = OpenFile(stem + QStringLiteral(".guard"));
    const int eventFd = guardFd >= 0 ? OpenFile(stem + QStringLiteral(".event")) : -1;
    bool held = false;
    if (eventFd >= 0) {
        TGuard guard(guardFd);
        held = flock(eventFd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    }
    for (int fd : {eventFd, guardFd})
        if (fd >= 0)
            close(fd); // also drops the probing lock
    return held;
}

TNamedEvent::TNamedEvent(QString Name, int EventFd, int GuardFd, int WatchFd)
    : FName(std::move(Name)), FEventFd(EventFd), FGuardFd(GuardFd), FWatchFd(WatchFd)
{
}

TNamedEvent::~TNamedEvent()
{
    close(FWatchFd);
    close(FEventFd); // drops this holder's lock
    close(FGuardFd);
}

bool TNamedEvent::Set()
{
    TGuard guard(FGuardFd);
    return WriteState(FEventFd, '1');
}

bool TNamedEvent::TakeSignal()
{
    TGuard guard(FGuardFd);
    char state = 0;
    if (pread(FEventFd, &state, 1, 0) != 1 || state != '1')
        return false;
    return WriteState(FEventFd, '0');
}

bool TNamedEvent::Wait(int TimeoutMs)
{
    const QDeadlineTimer deadline(qMax(0, TimeoutMs));
    for (;;) {
        // The watch was set up before this check, so a Set that comes after
        // it always wakes the poll below.
        if (TakeSignal())
            return true;
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0)
            return false;
        pollfd watch{FWatchFd, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(remaining)) > 0) {
            char drain[4096];
            while (read(FWatchFd, drain, sizeof drain) > 0) {
            }
        }
    }
}
