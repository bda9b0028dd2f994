#include "MediaPath.h"
#include "VariantAccess.h"

#include "PropertyTree.h"
#include "ServiceLink.h"
#include "devices/DeviceManager.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using namespace TVariants;
constexpr qint64 RateWindowMs = 1000;
// Figures of the sound's quality, 0..20, low is good.
constexpr qint64 GoodAudioQuality = 3;
constexpr qint64 NoAudioQuality = 20;
// Sound goes out in chunks of this length; between calls the timer only
// waits for one to come up.
constexpr int AudioChunkMs = 40;
constexpr int AudioIdleMs = 250;
// Arrivals judged for the sound's quality.
constexpr size_t QualityArrivals = 25;
constexpr qint64 QualityWindowMs = 1000;

// A window handle or address as the client passes it.
bool Handle(const KrVariant& Value, intptr_t& Result)
{
    switch (Value.Type) {
    case KrVtInteger:
        Result = intptr_t(Value.Value.Integer);
        return true;
    case KrVtUnsigned:
        Result = intptr_t(Value.Value.Unsigned);
        return true;
    default:
        return false;
    }
}

bool IsNone(const QByteArray& Name)
{
    return Name.compare(TDeviceManager::NoDevice, Qt::CaseInsensitive) == 0;
}

} // namespace

// ---- Traffic ------------------------------------------------------------------------

void TMediaPath::TRateMeter::Add(qint64 Bytes)
{
    if (!FClock.isValid())
        FClock.start();
    const qint64 now = FClock.elapsed();
    Prune(now);
    FSamples.emplace_back(now, Bytes);
    FTotal += Bytes;
}

int32_t TMediaPath::TRateMeter::Rate()
{
    if (!FClock.isValid())
        return 0;
    Prune(FClock.elapsed());
    return int32_t(
        std::min<qint64>(FTotal * 1000 / RateWindowMs, std::numeric_limits<int32_t>::max()));
}

void TMediaPath::TRateMeter::Prune(qint64 Now)
{
    while (!FSamples.empty() && Now - FSamples.front().first >= RateWindowMs) {
        FTotal -= FSamples.front().second;
        FSamples.pop_front();
    }
}

// ---- The media path -------------------------------------------------------------------

TMediaPath::TMediaPath(TDeviceManager& Devices, TServiceLink& Link) : FDevices(Devices), FLink(Link)
{
    FDevices.SetFrameCallback([this](const QImage& Frame) { CameraFrame(Frame); });
    FLink.SetPeerFrameSink([this](const QImage& Frame) { PeerFrame(Frame); });
    FLink.SetPeerAudioSink([this](const QByteArray& Pcm) { PeerAudio(Pcm); });
    FAudioTimer.setTimerType(Qt::PreciseTimer);
    FAudioTimer.callOnTimeout([this] { AudioTick(); });
}

TMediaPath::~TMediaPath()
{
    FAudioTimer.stop();
    FMicrophone.Stop();
    FSpeaker.Stop();
    FLink.SetPeerAudioSink({});
    FLink.SetPeerFrameSink({});
    FDevices.SetFrameCallback({});
    FDevices.StopCamera();
    ReleaseRenderer(FOwn);
    for (TReceiver& receiver : FReceivers)
        ReleaseRenderer(receiver.Renderer);
}

void TMediaPath::ReleaseRenderer(std::shared_ptr<TRenderer>& Renderer)
{
    if (Renderer)
        TRenderers::Remove(Renderer->Instance());
    Renderer.reset();
}

void TMediaPath::Feed(TRenderer& Renderer, const QImage& Frame)
{
    Renderer.SetOptions({FDevices.ForceBicubic(), FDevices.Saturation()});
    Renderer.NewFrame(Frame);
}

void TMediaPath::OptionsChanged()
{
    const TRenderOptions options{FDevices.ForceBicubic(), FDevices.Saturation()};
    if (FOwn)
        FOwn->SetOptions(options);
    for (TReceiver& receiver : FReceivers)
        receiver.Renderer->SetOptions(options);
}

int32_t TMediaPath::StartSender(const std::optional<QByteArray>& Microphone,
                                const std::optional<QByteArray>& Camera, KrWindow Panel,
                                intptr_t& RenderInstance)
{
    int32_t flags = 0;
    if (Microphone && !FDevices.SetAudioCapture(*Microphone))
        flags |= MicrophoneFailed;

    FDevices.StopCamera();
    ReleaseRenderer(FOwn);
    FOwn = TRenderers::Add(Panel);
    FOwn->SetOptions({FDevices.ForceBicubic(), FDevices.Saturation()});
    RenderInstance = FOwn->Instance();

    // No camera chosen is not a failure: the panel stays black.
    if (Camera) {
        if (!FDevices.SetVideoCapture(*Camera))
            flags |= CameraFailed;
        else if (!IsNone(*Camera) && !FDevices.StartCamera())
            flags |= CameraFailed;
    }
    return flags;
}

void TMediaPath::StopSender()
{
    FDevices.StopCamera();
    ReleaseRenderer(FOwn);
}

// Frames go out no faster than the sender's frame rate.
bool TMediaPath::SendDue()
{
    const int rate = FDevices.FpsRate();
    if (rate <= 0 || !FLastSent.isValid())
        return true;
    const qint64 interval = 1000 / std::clamp(rate, 1, 60);
    return FLastSent.elapsed() + 5 >= interval;
}

void TMediaPath::CameraFrame(const QImage& Frame)
{
    if (FOwn)
        Feed(*FOwn, Frame);
    IServiceConnection* connection = FLink.Connection();
    if (!FSending || !connection || !FLink.CallUp() || !FDevices.SendVideo() || Frame.isNull() ||
        !SendDue())
        return;
    QImage sent =
        Frame.scaled(SentWidth, SentHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (sent.format() != QImage::Format_RGB32)
        sent = sent.convertToFormat(QImage::Format_RGB32);
    FLastSent.start();
    FSent.Add(sent.sizeInBytes());
    connection->SendFrame(sent);
    Track(0, sent, QByteArrayLiteral("Sender"));
}

void TMediaPath::PeerFrame(const QImage& Frame)
{
    if (Frame.isNull())
        return;
    FReceived.Add(Frame.sizeInBytes());
    if (TReceiver* receiver = Receiver(QString::fromLatin1(FLink.PeerId() + '>')))
        Feed(*receiver->Renderer, Frame);
    Track(1, Frame, FLink.PeerId() + '>');
    IServiceConnection* connection = FLink.Connection();
    if (FEchoBack && connection && FLink.CallUp()) {
        FSent.Add(Frame.sizeInBytes());
        connection->SendFrame(Frame);
    }
}

// ---- Sound -------------------------------------------------------------------------

void TMediaPath::ConnectSender()
{
    FSending = true;
    if (!FAudioTimer.isActive())
        FAudioTimer.start(AudioChunkMs);
}

void TMediaPath::DisconnectSender()
{
    FSending = false;
    FMicrophone.Stop();
    FMicrophoneName.clear();
}

void TMediaPath::AudioTick()
{
    IServiceConnection* connection = FLink.Connection();
    const bool up = connection && FLink.CallUp();
    if (!up) {
        // The next call chooses (and tries) the playback device afresh.
        FSpeaker.Stop();
        FSpeakerName.clear();
    }

    if (up && FSending && FDevices.SendAudio()) {
        const QByteArray name = FDevices.CurrentAudioCapture();
        if (name != FMicrophoneName) {
            FMicrophone.Stop();
            FMicrophoneName = name;
            FMicrophoneFailed = false;
        }
        if (!FMicrophone.IsRunning() && !FMicrophoneFailed) {
            // A microphone that cannot record leaves the call without sound.
            QAudioDevice device;
            FMicrophoneFailed = !FDevices.ChosenMicrophone(device) ||
                                !FMicrophone.Start(device, TDeviceManager::ToneMicrophoneSound());
        }
        QByteArray pcm = FMicrophone.Take();
        if (!pcm.isEmpty()) {
            ScaleSamples(pcm, FDevices.MicrophoneVolume());
            for (qsizetype at = 0; at < pcm.size(); at += MaxAudioChunk) {
                const QByteArray chunk = pcm.mid(at, MaxAudioChunk);
                FSent.Add(chunk.size());
                connection->SendAudio(chunk);
            }
        }
    } else {
        FMicrophone.Stop();
        FMicrophoneName.clear();
    }

    if (!FSending && FSpeakerName.isEmpty())
        FAudioTimer.stop();
    else
        FAudioTimer.setInterval(up ? AudioChunkMs : AudioIdleMs);
}

void TMediaPath::PeerAudio(const QByteArray& Pcm)
{
    if (Pcm.isEmpty())
        return;
    FReceived.Add(Pcm.size());
    if (!FAudioClock.isValid())
        FAudioClock.start();
    FAudioArrivals.push_back(FAudioClock.elapsed());
    if (FAudioArrivals.size() > QualityArrivals)
        FAudioArrivals.pop_front();

    IServiceConnection* connection = FLink.Connection();
    if (FEchoBack && connection && FLink.CallUp()) {
        FSent.Add(Pcm.size());
        connection->SendAudio(Pcm);
    }

    const QByteArray name = FDevices.CurrentPlayback();
    if (name != FSpeakerName) {
        FSpeaker.Stop();
        FSpeakerName = name;
        FSpeakerFailed = false;
    }
    const double volume = double(FDevices.SystemVolume()) / 65535.0;
    if (!FSpeaker.IsRunning() && !FSpeakerFailed) {
        // No device or one that cannot play: the call goes on without sound.
        QAudioDevice device;
        FSpeakerFailed = !FDevices.ChosenPlayback(device) || !FSpeaker.Start(device, volume);
    }
    FSpeaker.SetVolume(volume);
    FSpeaker.Play(Pcm);
    // The speaker stops with the call.
    if (!FAudioTimer.isActive())
        FAudioTimer.start(AudioChunkMs);
}

// From the regularity of the sound's arrival: the mean deviation of the gaps
// between chunks, in steps of 8 ms, on top of the best figure 1.
qint64 TMediaPath::AudioQuality()
{
    if (!FLink.CallUp())
        return NoAudioQuality;
    if (FAudioArrivals.size() < 3 ||
        FAudioClock.elapsed() - FAudioArrivals.back() > QualityWindowMs)
        return GoodAudioQuality; // no sound to judge
    std::vector<qint64> gaps;
    for (size_t i = 1; i < FAudioArrivals.size(); ++i)
        gaps.push_back(FAudioArrivals[i] - FAudioArrivals[i - 1]);
    qint64 sum = 0;
    for (const qint64 gap : gaps)
        sum += gap;
    const double mean = double(sum) / double(gaps.size());
    double deviation = 0.0;
    for (const qint64 gap : gaps)
        deviation += std::abs(double(gap) - mean);
    deviation /= double(gaps.size());
    return std::clamp<qint64>(1 + qint64(deviation / 8.0), 1, NoAudioQuality);
}

// Track 0 is the own video as sent, track 1 the other side's as received:
// 320 x 240 pixels of 32 bits (blue, green, red, unused), top row first.
void TMediaPath::Track(int32_t Number, const QImage& Frame, const QByteArray& Id)
{
    if (!FTrackCallback)
        return;
    QImage track = Frame.size() == QSize(SentWidth, SentHeight)
                       ? Frame
                       : Frame.scaled(SentWidth, SentHeight, Qt::IgnoreAspectRatio);
    if (track.format() != QImage::Format_RGB32)
        track = track.convertToFormat(QImage::Format_RGB32);
    FTrackCallback(FTrackContext, Number, int32_t(track.sizeInBytes()), track.constBits(),
                   Id.constData());
}

void TMediaPath::Traffic(int32_t& Sent, int32_t& Received)
{
    const bool up = FLink.CallUp();
    Sent = up ? FSent.Rate() : 0;
    Received = up ? FReceived.Rate() : 0;
}

TMediaPath::TReceiver* TMediaPath::Receiver(const QString& Name)
{
    for (TReceiver& receiver : FReceivers)
        if (receiver.Name.compare(Name, Qt::CaseInsensitive) == 0)
            return &receiver;
    return nullptr;
}

// ---- Properties -----------------------------------------------------------------------

void TMediaPath::Register(TPropertyTree& Tree)
{
    Tree.Add(QStringLiteral("Sender\\ResetWindow"), [this](int32_t Operation, KrVariant* Value) {
        return ResetWindow(FOwn.get(), Operation, Value);
    });
    Tree.Add(QStringLiteral("Sender\\Render\\GetImage"),
             [this](int32_t Operation, KrVariant* Value) {
                 return GetImage(FOwn.get(), Operation, Value);
             });
    // Drawing is done by the processor: no hardware acceleration.
    Tree.Add(QStringLiteral("Sender\\Render\\GetCapability"),
             [](int32_t Operation, KrVariant* Value) {
                 if (Operation != KR_OP_GET)
                     return Refused;
                 KrVariantClear(Value);
                 Value->Type = KrVtBoolean;
                 Value->Value.Boolean = 0;
                 return 0;
             });
    Tree.Add(
        QStringLiteral("Receivers\\ConnectReceiver"),
        [this](int32_t Operation, KrVariant* Value) { return ConnectReceiver(Operation, Value); });
    Tree.Add(QStringLiteral("Receivers\\DisconnectReceiver"),
             [this](int32_t Operation, KrVariant* Value) {
                 return DisconnectReceiver(Operation, Value);
             });
    Tree.AddPrefix(QStringLiteral("Receivers\\"),
                   [this](const QString& Rest, int32_t Operation, KrVariant* Value) {
                       return ReceiverPath(Rest, Operation, Value);
                   });
}

// [panel window, message window, 0]; answers [procedure, render instance].
int32_t TMediaPath::ConnectReceiver(int32_t Operation, KrVariant* Value)
{
    intptr_t panel = 0;
    intptr_t messageWindow = 0;
    if (Operation != KR_OP_RUN || !IsArray(Value, 2) || !Handle(Value->Value.Array[0], panel) ||
        !Handle(Value->Value.Array[1], messageWindow))
        return Refused;
    if (!FLink.CallUp() || FLink.PeerId().isEmpty())
        return Refused;
    const QString name = QString::fromLatin1(FLink.PeerId() + '>');
    std::shared_ptr<TRenderer> renderer = TRenderers::Add(panel);
    if (GiveIntegers(Value, {qint64(reinterpret_cast<intptr_t>(TRenderers::Procedure())),
                             qint64(renderer->Instance())}) != 0) {
        ReleaseRenderer(renderer);
        return Refused;
    }
    renderer->SetOptions({FDevices.ForceBicubic(), FDevices.Saturation()});
    if (TReceiver* existing = Receiver(name)) {
        // Connected again: the old panel no longer gets pictures.
        ReleaseRenderer(existing->Renderer);
        existing->Renderer = std::move(renderer);
        existing->MessageWindow = messageWindow;
    } else {
        FReceivers.push_back({name, std::move(renderer), messageWindow});
    }
    return 0;
}

int32_t TMediaPath::DisconnectReceiver(int32_t Operation, KrVariant* Value)
{
    if (Operation != KR_OP_RUN || Value->Type != KrVtString || !Value->Value.String)
        return Refused;
    const QString name =
        QString::fromLatin1(Value->Value.String, qstrnlen(Value->Value.String, 1024));
    const auto found = std::find_if(FReceivers.begin(), FReceivers.end(), [&](const TReceiver& R) {
        return R.Name.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (found == FReceivers.end())
        return Refused;
    ReleaseRenderer(found->Renderer);
    FReceivers.erase(found);
    return 0;
}

// "<receiver name>\<property>"; the name itself may hold backslashes, so the
// longest known name wins.
int32_t TMediaPath::ReceiverPath(const QString& Rest, int32_t Operation, KrVariant* Value)
{
    TReceiver* receiver = nullptr;
    for (TReceiver& candidate : FReceivers)
        if (Rest.size() > candidate.Name.size() &&
            Rest.at(candidate.Name.size()) == QLatin1Char('\\') &&
            Rest.startsWith(candidate.Name, Qt::CaseInsensitive) &&
            (!receiver || candidate.Name.size() > receiver->Name.size()))
            receiver = &candidate;
    if (!receiver)
        return Refused;
    const QString property = Rest.mid(receiver->Name.size() + 1);
    const auto is = [&property](const char* Name) {
        return property.compare(QLatin1String(Name), Qt::CaseInsensitive) == 0;
    };
    if (is("ResetWindow"))
        return ResetWindow(receiver->Renderer.get(), Operation, Value);
    if (is("Render\\GetImage"))
        return GetImage(receiver->Renderer.get(), Operation, Value);
    if (is("Format")) {
        if (Operation != KR_OP_GET)
            return Refused;
        const QImage frame = receiver->Renderer->LatestFrame();
        const QSize size = frame.isNull() ? QSize(SentWidth, SentHeight) : frame.size();
        return GiveIntegers(Value, {size.width(), size.height(), PeerSampleRate});
    }
    if (is("RenderAudio\\AudioQuality")) {
        if (Operation != KR_OP_GET)
            return Refused;
        return GiveInteger(Value, AudioQuality());
    }
    return TPropertyTree::UnknownPath;
}

int32_t TMediaPath::ResetWindow(TRenderer* Renderer, int32_t Operation, KrVariant* Value)
{
    intptr_t window = 0;
    if (!Renderer || Operation != KR_OP_RUN || !Handle(*Value, window))
        return Refused;
    Renderer->SetPanel(window);
    return 0;
}

// [address of the client's buffer, small]: 320 x 240 or, small, 160 x 120
// pixels of blue, green, red and 0, the lowest row first.
int32_t TMediaPath::GetImage(TRenderer* Renderer, int32_t Operation, KrVariant* Value)
{
    intptr_t address = 0;
    if (!Renderer || Operation != KR_OP_GET || !IsArray(Value, 2) ||
        !Handle(Value->Value.Array[0], address) || address == 0 ||
        Value->Value.Array[1].Type != KrVtBoolean)
        return Refused;
    const QImage frame = Renderer->LatestFrame();
    if (frame.isNull())
        return Refused;
    const bool small = Value->Value.Array[1].Value.Boolean != 0;
    const QSize size = small ? QSize(SentWidth / 2, SentHeight / 2) : QSize(SentWidth, SentHeight);
    DrawFrame(frame, size, Renderer->Options(), reinterpret_cast<uint8_t*>(address),
              qsizetype(size.width()) * 4, true);
    return 0;
}
