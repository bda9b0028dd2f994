#pragma once

#include "CallAudio.h"
#include "Renderer.h"
#include "orvanta.h"
#include "service/ConferenceService.h"

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class TDeviceManager;
class TPropertyTree;
class TServiceLink;

// The pictures and sound of one engine instance: the sender (the own camera
// drawn into its panel and, in a call, sent to the service with the
// microphone's sound), the receivers (the peer's pictures drawn into theirs,
// its sound played) and the traffic they make. Used on the thread
// that made the engine; only the renderers are shared with the panels.
class TMediaPath
{
public:
    // Frames go to the service at this size.
    static constexpr int SentWidth = 320;
    static constexpr int SentHeight = 240;
    static constexpr int PeerSampleRate = ServiceAudioRate;
    // KrStartSender's flags.
    static constexpr int32_t CameraFailed = 0x1;
    static constexpr int32_t MicrophoneFailed = 0x2;

    TMediaPath(TDeviceManager& Devices, TServiceLink& Link);
    ~TMediaPath();
    TMediaPath(const TMediaPath&) = delete;
    TMediaPath& operator=(const TMediaPath&) = delete;

    void Register(TPropertyTree& Tree);

    // A missing name chooses no device of that kind. Gives the own
    // renderer's instance, drawing into Panel.
    int32_t StartSender(const std::optional<QByteArray>& Microphone,
                        const std::optional<QByteArray>& Camera, KrWindow Panel,
                        intptr_t& RenderInstance);
    void StopSender();
    void ConnectSender();
    void DisconnectSender();
    // Media track data for the client's track callback (null: none).
    void SetTrackCallback(KrTrackCallback Callback, void* Context)
    {
        FTrackCallback = Callback;
        FTrackContext = Context;
    }
    // While on, the other side's pictures are sent straight back (the remote echo test).
    void SetEchoBack(bool On) { FEchoBack = On; }
    // After a change of ForceBicubic or the saturation.
    void OptionsChanged();
    // Bytes per second over the last second; 0 outside a call.
    void Traffic(int32_t& Sent, int32_t& Received);

private:
    struct TReceiver
    {
        QString Name;
        std::shared_ptr<TRenderer> Renderer;
        KrWindow MessageWindow = 0;
    };
    // Bytes passed in the last second.
    class TRateMeter
    {
    public:
        void Add(qint64 Bytes);
        int32_t Rate();

    private:
        void Prune(qint64 Now);
        QElapsedTimer FClock;
        std::deque<std::pair<qint64, qint64>> FSamples; // (ms, bytes)
        qint64 FTotal = 0;
    };

    void CameraFrame(const QImage& Frame);
    void PeerFrame(const QImage& Frame);
    void PeerAudio(const QByteArray& Pcm);
    // Sends the microphone's sound and stops the devices a call no longer needs.
    void AudioTick();
    qint64 AudioQuality();
    void Feed(TRenderer& Renderer, const QImage& Frame);
    bool SendDue();
    TReceiver* Receiver(const QString& Name);
    void ReleaseRenderer(std::shared_ptr<TRenderer>& Renderer);

    int32_t ConnectReceiver(int32_t Operation, KrVariant* Value);
    int32_t DisconnectReceiver(int32_t Operation, KrVariant* Value);
    int32_t ReceiverPath(const QString& Rest, int32_t Operation, KrVariant* Value);
    int32_t GetImage(TRenderer* Renderer, int32_t Operation, KrVariant* Value);
    int32_t ResetWindow(TRenderer* Renderer, int32_t Operation, KrVariant* Value);

    TDeviceManager& FDevices;
    TServiceLink& FLink;
    std::shared_ptr<TRenderer> FOwn;
    std::vector<TReceiver> FReceivers;
    bool FSending = false;
    bool FEchoBack = false;
    KrTrackCallback FTrackCallback = nullptr;
    void* FTrackContext = nullptr;

    void Track(int32_t Number, const QImage& Frame, const QByteArray& Id);
    QElapsedTimer FLastSent;
    TRateMeter FSent;
    TRateMeter FReceived;

    QTimer FAudioTimer;
    TCallMicrophone FMicrophone;
    QByteArray FMicrophoneName; // the one started or failed
    bool FMicrophoneFailed = false;
    TCallSpeaker FSpeaker;
    QByteArray FSpeakerName;
    bool FSpeakerFailed = false;
    QElapsedTimer FAudioClock;
    std::deque<qint64> FAudioArrivals; // ms
};
