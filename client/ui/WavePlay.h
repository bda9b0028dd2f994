#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>

// Plays one WAVE image held in memory, once or in a loop, through the
// program's sound service. There is one sound at a time for the whole
// program: playing or stopping any player ends the sound another started.
class TWavePlayer : public QObject
{
    Q_OBJECT
public:
    explicit TWavePlayer(QObject* Owner = nullptr);
    ~TWavePlayer() override;

    // True while the looping sound this player started is the one playing.
    bool Active() const;
    // True plays (when not active), False stops (when active).
    void SetActive(bool Value);

    // Stops any sound first; an empty sound plays nothing.
    void Play();
    // Stops whatever sound is playing.
    void Stop();

    bool StopOthers = false; // false: a sound already playing is left alone
    bool WaitToStop = false; // true: Play returns when a single sound has ended
    bool Loop = false;
    QByteArray Sound; // the whole WAVE image

private:
    std::uint64_t FPlaying = 0; // the looping sound started, as the service numbers it
};
