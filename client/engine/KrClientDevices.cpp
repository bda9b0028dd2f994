// TKrCore: capture and playback devices, the sender, volumes, frame rate,
// analog video standards, the microphone meter, still pictures and the
// connection quality.
#include "KrClient.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSize>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

const TVideoCode VideoCodes[18] = {
    {0x1, "NTSC M"},      {0x2, "NTSC M J"},     {0x4, "NTSC 433"},    {0x10, "PAL B"},
    {0x20, "PAL D"},      {0x80, "PAL H"},       {0x100, "PAL I"},     {0x200, "PAL M"},
    {0x400, "PAL N"},     {0x800, "PAL 60"},     {0x1000, "SECAM B"},  {0x2000, "SECAM D"},
    {0x4000, "SECAM G"},  {0x8000, "SECAM H"},   {0x10000, "SECAM K"}, {0x20000, "SECAM K1"},
    {0x40000, "SECAM L"}, {0x80000, "SECAM L1"},
};

namespace {

const QString NoDevice = QStringLiteral("None");

const QString CamerasPath = QStringLiteral("Sender\\VideoCapture\\Cameras");
const QString MicrophonesPath = QStringLiteral("Sender\\CaptureAudio\\AudioCaptureList");
const QString RenderersPath = QStringLiteral("Receivers\\AudioPlayback\\AudioRenderList");
const QString PlaybackDevicePath = QStringLiteral("Receivers\\PlaybackDevice");
const QString CameraPinsPath = QStringLiteral("Sender\\VideoCapture\\CameraPins");
const QString CameraModePath = QStringLiteral("Sender\\VideoCapture\\CameraMode");
const QString CameraFPSPath = QStringLiteral("Sender\\VideoCapture\\CameraFPS");
const QString FPSRatePath = QStringLiteral("Sender\\FPSRate");
const QString MicrophoneVolumePath = QStringLiteral("Sender\\CaptureAudio\\MicrophoneVolume");
const QString SystemVolumePath = QStringLiteral("Receivers\\AudioPlayback\\SystemVolume");
const QString TestPlaybackPath = QStringLiteral("Receivers\\AudioPlayback\\TestPlayback");
const QString PrepareAudioPath = QStringLiteral("Receivers\\AudioPlayback\\PrepareAudio");
const QString MicrophoneLevelPath = QStringLiteral("Sender\\CaptureAudio\\MicrophoneLevel");
const QString CameraPropertyPagePath = QStringLiteral("Sender\\VideoCapture\\CameraPropertyPage");
const QString CameraControlPath = QStringLiteral("Sender\\VideoCapture\\CameraControl");
const QString EnabledDevicesPath = QStringLiteral("Sender\\EnabledDevices");
const QString VideoQualityPath = QStringLiteral("Sender\\VideoQuality");

constexpr int RecVolumeMin = -10;
constexpr int RecVolumeSpan = 1010;
constexpr int RecEngineSpan = 65536;
constexpr int PlayVolumeSpan = 100;
constexpr int PlayEngineSpan = 65535;

// Numerator / Denominator (Denominator > 0) rounded to the nearest integer,
// halves to the even neighbour, held within int.
int RoundedQuotient(qint64 Numerator, qint64 Denominator)
{
    qint64 quotient = Numerator / Denominator;
    qint64 remainder = Numerator % Denominator;
    if (remainder < 0) {
        remainder += Denominator;
        --quotient;
    }
    if (2 * remainder > Denominator || (2 * remainder == Denominator && (quotient & 1) != 0))
        ++quotient;
    return int(std::clamp<qint64>(quotient, std::numeric_limits<int>::min(),
                                  std::numeric_limits<int>::max()));
}

// Whether Index names one of the devices after "None".
bool IsDevice(const QStringList& List, int Index)
{
    return Index > 0 && Index < List.size();
}

// The name handed to the engine for a chosen index; an index that names no
// device (0, or one the list does not hold) is "None".
QString DeviceAt(const QStringList& List, int Index)
{
    return IsDevice(List, Index) ? List.at(Index) : NoDevice;
}

// Position of Name in List regardless of case; 0 ("None") when absent.
int PositionOf(const QStringList& List, const QString& Name)
{
    for (qsizetype i = 0; i < List.size(); ++i)
        if (List.at(i).compare(Name, Qt::CaseInsensitive) == 0)
            return int(i);
    return 0;
}

// Appends the elements of an engine array, stopping at the first element that
// is not a text.
void AppendTexts(QStringList& List, const TKrValue& Value)
{
    for (int i = 0; i < Value.Count(); ++i) {
        const TKrValue element = Value.Element(i);
        if (element.Type() != KrVtString)
            return;
        List.append(element.AsText());
    }
}

const TVideoCode* FindVideoCode(quint32 Code)
{
    for (const TVideoCode& row : VideoCodes)
        if (row.Code == Code)
            return &row;
    return nullptr;
}

// Rating 1 (worst) to 5 (best) of the current sending rate.
int RateSending(qint64 Rate)
{
    if (Rate >= 50 && Rate <= 79)
        return 2;
    if (Rate >= 80 && Rate <= 119)
        return 3;
    if (Rate >= 120 && Rate <= 199)
        return 4;
    if (Rate >= 200 && Rate <= 1000)
        return 5;
    return 1;
}

// Rating 1 (worst) to 5 (best) of the received audio's quality figure.
int RateAudio(qint64 Figure)
{
    if (Figure >= 0 && Figure <= 6)
        return 5;
    if (Figure >= 7 && Figure <= 8)
        return 4;
    if (Figure >= 9 && Figure <= 10)
        return 3;
    if (Figure >= 11 && Figure <= 14)
        return 2;
    return 1;
}

} // namespace

// ---- Device lists -------------------------------------------------------------

void TKrCore::UpdateDeviceLists()
{
    if (!FInitialized)
        return;
    const quint8 missing = KrUpdateDeviceList(FInstance);

    // A list the engine does not answer with an array keeps only "None".
    const auto readList = [this](const QString& Path, QStringList& List) {
        TKrValue names;
        if (Process(KR_OP_GET, Path, names) == 0 && names.IsArray())
            AppendTexts(List, names);
    };

    FVideoCaptureDevices = QStringList{NoDevice};
    TTextBuffer camera(KR_PATH_BUFFER_SIZE);
    KrGetCurrentVideoCapture(FInstance, camera.Data());
    if ((missing & 0x2) == 0)
        readList(CamerasPath, FVideoCaptureDevices);
    FCurrentVideoCapture = PositionOf(FVideoCaptureDevices, camera.Text());

    FAudioCaptureDevices = QStringList{NoDevice};
    TTextBuffer microphone(KR_PATH_BUFFER_SIZE);
    KrGetCurrentAudioCapture(FInstance, microphone.Data());
    if ((missing & 0x1) == 0)
        readList(MicrophonesPath, FAudioCaptureDevices);
    FCurrentAudioCapture = PositionOf(FAudioCaptureDevices, microphone.Text());

    FAudioRenderDevices = QStringList{NoDevice};
    TKrValue current;
    QString renderer;
    if (Process(KR_OP_GET, PlaybackDevicePath, current) == 0 && current.Type() == KrVtString)
        renderer = current.AsText();
    if ((missing & 0x4) == 0)
        readList(RenderersPath, FAudioRenderDevices);
    FCurrentAudioRender = PositionOf(FAudioRenderDevices, renderer);
    TKrValue chosen = TKrValue::Text(FAudioRenderDevices.at(FCurrentAudioRender));
    Process(KR_OP_SET, PlaybackDevicePath, chosen);
}

// Also called by Release after it has cleared the initialised flag.
void TKrCore::ApplyDevices()
{
    TKrValue renderer = TKrValue::Text(DeviceAt(FAudioRenderDevices, FCurrentAudioRender));
    Process(KR_OP_SET, PlaybackDevicePath, renderer);
    KrSetAudioCapture(
        FInstance, ToEngineText(DeviceAt(FAudioCaptureDevices, FCurrentAudioCapture)).constData());
    KrSetVideoCapture(
        FInstance, ToEngineText(DeviceAt(FVideoCaptureDevices, FCurrentVideoCapture)).constData());
}

void TKrCore::RefreshDevices()
{
    if (!FInitialized)
        return;
    ApplyDevices();
    UpdateDeviceLists();
}

void TKrCore::SetCurrentAudioRender(int Value)
{
    FCurrentAudioRender = Value;
    if (!FInitialized)
        return;
    TKrValue renderer = TKrValue::Text(DeviceAt(FAudioRenderDevices, Value));
    Process(KR_OP_SET, PlaybackDevicePath, renderer);
}

// ---- Volumes --------------------------------------------------------------------

int TKrCore::RecVolumeToEngine(int Volume)
{
    return RoundedQuotient((qint64(Volume) - RecVolumeMin) * RecEngineSpan, RecVolumeSpan);
}

int TKrCore::RecVolumeFromEngine(int EngineValue)
{
    return RoundedQuotient(qint64(EngineValue) * RecVolumeSpan, RecEngineSpan) + RecVolumeMin;
}

int TKrCore::PlayVolumeToEngine(int Volume)
{
    return RoundedQuotient(qint64(Volume) * PlayEngineSpan, PlayVolumeSpan);
}

int TKrCore::PlayVolumeFromEngine(int EngineValue)
{
    return RoundedQuotient(qint64(EngineValue) * PlayVolumeSpan, PlayEngineSpan);
}

int TKrCore::RecVolume() const
{
    return RecVolumeFromEngine(FRecVolumeEngine);
}

void TKrCore::SetRecVolume(int Value)
{
    FRecVolumeEngine = RecVolumeToEngine(Value);
    if (!FInitialized)
        return;
    TKrValue volume = TKrValue::Integer(FRecVolumeEngine);
    Process(KR_OP_SET, MicrophoneVolumePath, volume);
}

int TKrCore::PlayVolume() const
{
    return PlayVolumeFromEngine(FPlayVolumeEngine);
}

void TKrCore::SetPlayVolume(int Value)
{
    FPlayVolumeEngine = PlayVolumeToEngine(Value);
    if (!FInitialized)
        return;
    TKrValue volume = TKrValue::Integer(FPlayVolumeEngine);
    Process(KR_OP_SET, SystemVolumePath, volume);
    if (FTestPlayback) {
        TKrValue testVolume = TKrValue::Integer(FPlayVolumeEngine);
        Process(KR_OP_SET, TestPlaybackPath, testVolume);
    }
}

// ---- Frame rate, scaling, saturation ------------------------------------------

void TKrCore::SetFPS(TFPSMode Value)
{
    static constexpr quint8 Rates[] = {5, 10, 15, 20, 30};
    if (Value < fp5 || Value > fp30)
        return;
    FFPS = Value;
    if (!FInitialized)
        return;
    TKrValue rate = TKrValue::Byte(Rates[Value]);
    Process(KR_OP_SET, CameraFPSPath, rate);
}

int TKrCore::FPSRate()
{
    constexpr int Fallback = 32;
    if (!FInitialized)
        return Fallback;
    TKrValue rate;
    if (Process(KR_OP_GET, FPSRatePath, rate) != 0)
        return Fallback;
    bool ok = false;
    const qint64 value = rate.AsInteger(&ok);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return Fallback;
    return int(value);
}

void TKrCore::SetFPSRate(int Value)
{
    if (!FInitialized)
        return;
    TKrValue rate = TKrValue::Integer(Value);
    Process(KR_OP_SET, FPSRatePath, rate);
}

void TKrCore::SetQualityScale(bool Value)
{
    if (!FInitialized)
        return;
    FQualityScale = Value;
    KrForceBicubic(FInstance, Value ? 1 : 0);
}

void TKrCore::SetSaturation(int Value)
{
    FSaturation = Value;
    if (FInitialized)
        KrSetSaturation(FInstance, Value);
}

// ---- Sending ---------------------------------------------------------------------

void TKrCore::SetPause(bool Value)
{
    if (!FInitialized)
        return;
    TKrValue capture = TKrValue::Boolean(!Value);
    if (Process(KR_OP_RUN, CameraControlPath, capture) == 0)
        FPause = Value;
}

void TKrCore::SetSendVideo(bool Value)
{
    FSendVideo = Value;
    if (!FInitialized)
        return;
    TKrValue enabled =
        TKrValue::Array({TKrValue::Boolean(FSendAudio), TKrValue::Boolean(FSendVideo)});
    Process(KR_OP_SET, EnabledDevicesPath, enabled);
}

void TKrCore::SetSendAudio(bool Value)
{
    FSendAudio = Value;
    if (!FInitialized)
        return;
    TKrValue enabled =
        TKrValue::Array({TKrValue::Boolean(FSendAudio), TKrValue::Boolean(FSendVideo)});
    Process(KR_OP_SET, EnabledDevicesPath, enabled);
}

// The meter falls half-way towards a lower reading, so that short pauses in
// speech do not make the bar jump to zero.
int TKrCore::MicLevel()
{
    if (!FInitialized)
        return 0;
    TKrValue reading;
    bool ok = false;
    qint64 level = 0;
    if (Process(KR_OP_GET, MicrophoneLevelPath, reading) == 0)
        level = reading.AsInteger(&ok);
    if (ok) {
        level = std::clamp<qint64>(level, 0, std::numeric_limits<int>::max());
        if (level < FMicMemory)
            level = qint64(std::nearbyint((double(level) + double(FMicMemory)) / 2.0));
        // Below 1 the logarithm has no value; 1 already shows as an empty bar.
        if (level < 1)
            level = 1;
        FMicMemory = int(level);
    } else {
        // An unreadable level keeps the meter where it was.
        level = std::max(FMicMemory, 1);
    }
    const double shown = std::nearbyint((std::log10(double(level)) * 22.0 - 20.0) * 1.25);
    return std::max(0, int(shown));
}

// ---- Video standards and camera inputs -----------------------------------------

int TKrCore::CurrentVideoMode() const
{
    const TVideoCode* row = FindVideoCode(FVideoStandard);
    if (!row)
        return 0;
    return std::max(0, int(FVideoMode.indexOf(QString::fromLatin1(row->Name))));
}

void TKrCore::SetCurrentVideoMode(int Index)
{
    if (!FInitialized || Index < 0 || Index >= FVideoMode.size())
        return;
    quint32 code = 0;
    for (const TVideoCode& row : VideoCodes)
        if (FVideoMode.at(Index) == QLatin1String(row.Name)) {
            code = row.Code;
            break;
        }
    TKrValue supported;
    if (Process(KR_OP_GET, CameraModePath, supported) == 0) {
        bool ok = false;
        const qint64 mask = supported.AsInteger(&ok);
        if (ok && (quint64(mask) & code) != 0) {
            TKrValue chosen = TKrValue::Unsigned(code);
            Process(KR_OP_SET, CameraModePath, chosen);
        }
    }
    FVideoStandard = code;
}

void TKrCore::SetCurrentVideoChannel(int Index)
{
    if (!FInitialized)
        return;
    FCurrentVideoChannel = Index;
    TKrValue input =
        Index >= 0 && Index < FVideoChannel.size() ? TKrValue::Integer(Index) : TKrValue();
    Process(KR_OP_RUN, CameraPinsPath, input);
}

// ---- The sender ---------------------------------------------------------------------

int TKrCore::StartSender(IVideoPanel* Panel, int Width, int Height, int SampleRate)
{
    if (!FInitialized)
        return -1;
    if (Panel)
        Panel->StopRender();

    const bool camera = IsDevice(FVideoCaptureDevices, FCurrentVideoCapture);
    const bool microphone = IsDevice(FAudioCaptureDevices, FCurrentAudioCapture);
    const QByteArray cameraName =
        camera ? ToEngineText(FVideoCaptureDevices.at(FCurrentVideoCapture)) : QByteArray();
    const QByteArray microphoneName =
        microphone ? ToEngineText(FAudioCaptureDevices.at(FCurrentAudioCapture)) : QByteArray();
    KrRenderProc renderProc = nullptr;
    intptr_t renderInstance = 0;
    const int32_t result =
        KrStartSender(FInstance, microphone ? microphoneName.constData() : nullptr,
                      camera ? cameraName.constData() : nullptr, Panel ? Panel->WindowHandle() : 0,
                      &renderProc, &renderInstance, Width, Height, SampleRate);

    FVideoMode.clear();
    FVideoChannel.clear();
    FPause = false;

    if (camera && (result & 0x1) == 0) {
        int channel = FCurrentVideoChannel;
        quint32 standard = 0;
        TKrValue pins;
        // The call's result carries the camera's current input in its high 16 bits.
        const int32_t pinsResult = Process(KR_OP_GET, CameraPinsPath, pins);
        if (pins.IsArray()) {
            standard = FVideoStandard;
            const int count = pins.Count();
            if (count > 1)
                AppendTexts(FVideoChannel, pins);
            const int current = int(quint32(pinsResult) >> 16);
            if (channel > count)
                channel = current;
            if (current > channel)
                channel = current;
        }

        TKrValue modes = TKrValue::Byte(0);
        quint64 supported = 0;
        if (Process(KR_OP_GET, CameraModePath, modes) == 0) {
            bool ok = false;
            const qint64 mask = modes.AsInteger(&ok);
            if (ok) {
                supported = quint64(mask);
                for (const TVideoCode& row : VideoCodes)
                    if ((row.Code & supported) != 0)
                        FVideoMode.append(QString::fromLatin1(row.Name));
            }
        }

        if ((standard & supported) != 0) {
            TKrValue chosen = TKrValue::Unsigned(standard);
            Process(KR_OP_SET, CameraModePath, chosen);
            FVideoStandard = standard;
        } else {
            FVideoStandard = 0;
        }
        SetCurrentVideoChannel(channel);
    }

    if (Panel)
        Panel->SetRenderProc(renderProc, renderInstance);

    TKrValue metering = TKrValue::Boolean(true);
    Process(KR_OP_RUN, MicrophoneLevelPath, metering);
    FMicMemory = 0;

    TKrValue page = TKrValue::Boolean(false);
    const int pageResult = Process(KR_OP_GET, CameraPropertyPagePath, page);
    bool ok = false;
    const bool hasPage = page.AsBoolean(&ok);
    if (pageResult != 0)
        FVideoProperty = false;
    else if (ok)
        FVideoProperty = hasPage;
    return result;
}

void TKrCore::StopSender(IVideoPanel* Panel)
{
    if (!FInitialized)
        return;
    if (Panel)
        Panel->StopRender();
    TKrValue metering = TKrValue::Boolean(false);
    Process(KR_OP_RUN, MicrophoneLevelPath, metering);
    FMicMemory = 0;
    KrStopSender(FInstance);
    FPause = false;
}

// ---- Sound tests ----------------------------------------------------------------------

bool TKrCore::StartTestPlayback()
{
    // Nothing can play without the engine: that is a failure, not a success.
    if (!FInitialized)
        return true;
    FTestPlayback = true;
    TKrValue device = TKrValue::Text(DeviceAt(FAudioRenderDevices, FCurrentAudioRender));
    const bool failed = Process(KR_OP_RUN, TestPlaybackPath, device) != 0;
    // No test sound runs, so volume changes must not be sent to it.
    if (failed)
        FTestPlayback = false;
    return failed;
}

void TKrCore::StopTestPlayback()
{
    if (!FInitialized)
        return;
    FTestPlayback = false;
    TKrValue stop = TKrValue::Boolean(false);
    Process(KR_OP_RUN, TestPlaybackPath, stop);
}

void TKrCore::PrepareAudio()
{
    if (!FInitialized)
        return;
    TKrValue zero = TKrValue::Byte(0);
    Process(KR_OP_RUN, PrepareAudioPath, zero);
}

void TKrCore::ShowCameraPropertyPage(quintptr ParentHandle)
{
    if (!FInitialized)
        return;
    TKrValue parent = TKrValue::Unsigned(ParentHandle);
    Process(KR_OP_RUN, CameraPropertyPagePath, parent);
}

// ---- Still pictures ---------------------------------------------------------------------

void TKrCore::GetVideoImage(QLabel* Image, const QString& ReceiverName)
{
    if (!FInitialized || !Image)
        return;
    const QSize size = Image->size();
    bool small = false;
    if (size == QSize(320, 240))
        small = false;
    else if (size == QSize(160, 120))
        small = true;
    else
        return;
    const int width = size.width();
    const int height = size.height();
    const qsizetype stride = qsizetype(width) * 4;

    std::vector<uchar> buffer(size_t(stride * height), 0);
    TKrValue request =
        TKrValue::Array({TKrValue::Integer(qint64(reinterpret_cast<intptr_t>(buffer.data()))),
                         TKrValue::Boolean(small)});
    const QString path = ReceiverName.isEmpty() ? QStringLiteral("Sender\\Render\\GetImage")
                                                : QStringLiteral("Receivers\\") + ReceiverName +
                                                      QStringLiteral("\\Render\\GetImage");
    if (Process(KR_OP_GET, path, request) != 0)
        return;

    // Blue, green, red and an unused byte per pixel; the lowest row comes first.
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uchar* source = buffer.data() + (height - 1 - y) * stride;
        auto* target = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x, source += 4)
            target[x] = qRgb(source[2], source[1], source[0]);
    }
    Image->setPixmap(QPixmap::fromImage(picture));
}

void TKrCore::TakeSnapshot(QLabel* Image, bool Own)
{
    if (!FInitialized)
        return;
    if (Own)
        GetVideoImage(Image, QString());
    else
        GetVideoImage(Image, GetPeerName() + QLatin1Char('>'));
}

// ---- Connection quality --------------------------------------------------------------------

int TKrCore::NetQuality()
{
    if (!FInitialized)
        return 0;
    // An unreadable figure counts as 0, as an unanswered value would.
    const auto readNumber = [this](int Operation, const QString& Path) -> qint64 {
        TKrValue value;
        if (Process(Operation, Path, value) != 0)
            return 0;
        bool ok = false;
        const qint64 number = value.AsInteger(&ok);
        return ok ? number : 0;
    };
    const qint64 sending = readNumber(KR_OP_RUN, VideoQualityPath);
    const qint64 audio = readNumber(KR_OP_GET, QStringLiteral("Receivers\\") + GetPeerName() +
                                                   QStringLiteral(">\\RenderAudio\\AudioQuality"));
    return 5 - std::min(RateSending(sending), RateAudio(audio));
}
