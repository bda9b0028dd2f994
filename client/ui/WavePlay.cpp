#include "WavePlay.h"

#include "platform/Sound.h"

#include <QEventLoop>
#include <QTimer>

TWavePlayer::TWavePlayer(QObject* Owner) : QObject(Owner) {}

TWavePlayer::~TWavePlayer()
{
    Stop();
}

bool TWavePlayer::Active() const
{
    // A sound another player started (or stopped) in between ends this one.
    return FPlaying != 0 && FPlaying == TSoundService::CurrentSound();
}

void TWavePlayer::SetActive(bool Value)
{
    if (Value == Active())
        return;
    if (Value)
        Play();
    else
        Stop();
}

void TWavePlayer::Play()
{
    Stop();
    if (Sound.isEmpty())
        return;
    if (!TSoundService::PlayWave(Sound, Loop, StopOthers))
        return;
    if (Loop) {
        FPlaying = TSoundService::CurrentSound();
        return;
    }
    // A looping sound never ends, so only a single one is waited for. The
    // program's messages keep being handled meanwhile; the user's input waits.
    if (WaitToStop && TSoundService::Playing()) {
        const std::uint64_t sound = TSoundService::CurrentSound();
        QEventLoop wait;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
            if (TSoundService::CurrentSound() != sound)
                wait.quit();
        });
        poll.start(10);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

void TWavePlayer::Stop()
{
    FPlaying = 0;
    TSoundService::Stop();
}
