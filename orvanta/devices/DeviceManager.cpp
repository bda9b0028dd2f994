#include "DeviceManager.h"

#include "CameraSettingsDialog.h"
#include "EngineStore.h"
#include "PropertyTree.h"
#include "QtCameraSource.h"
#include "VariantAccess.h"

#include <QApplication>
#include <QMediaDevices>
#include <QScreen>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <functional>
#include <limits>

namespace {

using namespace TVariants;

const char* const CameraSetting = "Devices\\VideoCapture";
const char* const MicrophoneSetting = "Devices\\AudioCapture";
const char* const SpeakerSetting = "Devices\\PlaybackDevice";

constexpr qsizetype MaxNameSize = 255;

bool SameName(const QByteArray& A, const QByteArray& B)
{
    return QString::fromUtf8(A).compare(QString::fromUtf8(B), Qt::CaseInsensitive) == 0;
}

bool IsNone(const QByteArray& Name)
{
    return SameName(Name, TDeviceManager::NoDevice);
}

// A device's name as listed: UTF-8, not too long, and not the same as one
// listed before it (two cameras of one model become "Cam" and "Cam (2)").
QByteArray ListedName(const QString& Description, QByteArrayList& Taken)
{
    QByteArray base = Description.trimmed().toUtf8();
    if (base.size() > MaxNameSize) {
        qsizetype cut = MaxNameSize;
        while (cut > 0 && (quint8(base.at(cut)) & 0xC0) == 0x80)
            --cut;
        base.truncate(cut);
    }
    if (base.isEmpty())
        base = "Device";
    QByteArray name = base;
    for (int n = 2; IsNone(name) || std::any_of(Taken.cbegin(), Taken.cend(), [&](const QByteArray& T) {
                        return SameName(T, name);
                    });
         ++n)
        name = base + " (" + QByteArray::number(n) + ')';
    Taken.append(name);
    return name;
}

// The kept choice when it is still there, else the system's default device,
// else the first one.
template <class TEntry, class TDevice>
QByteArray Resolve(const QByteArray& Chosen, const std::vector<TEntry>& List, const TDevice& Default)
{
    if (IsNone(Chosen))
        return TDeviceManager::NoDevice;
    for (const TEntry& entry : List)
        if (SameName(entry.Name, Chosen))
            return entry.Name;
    if (!Default.isNull())
        for (const TEntry& entry : List)
            if (entry.Device == Default)
                return entry.Name;
    return List.empty() ? QByteArray(TDeviceManager::NoDevice) : List.front().Name;
}

template <class TEntry>
const TEntry* Find(const std::vector<TEntry>& List, const QByteArray& Name)
{
    for (const TEntry& entry : List)
        if (SameName(entry.Name, Name))
            return &entry;
    return nullptr;
}

// -- Reading what the client passed; anything of another kind or out of range fails.

bool IntegerIn(const KrVariant* Value, qint64 Low, qint64 High, qint64* Result)
{
    if (Value->Type != KrVtInteger || Value->Value.Integer < Low || Value->Value.Integer > High)
        return false;
    *Result = Value->Value.Integer;
    return true;
}

template <class TEntry>
QByteArrayList Names(const std::vector<TEntry>& List)
{
    QByteArrayList names;
    for (const TEntry& entry : List)
        names.append(entry.Name);
    return names;
}

} // namespace

TDeviceManager::TDeviceManager(TEngineStore& Store) : FStore(Store)
{
    const auto kept = [this](const char* Setting) {
        KrVariant value;
        KrVariantInit(&value);
        QByteArray name;
        if (FStore.ReadSetting(QLatin1String(Setting), &value))
            ReadText(value, KR_PATH_BUFFER_SIZE, name);
        KrVariantClear(&value);
        return name;
    };
    FCamera = kept(CameraSetting);
    FMicrophone = kept(MicrophoneSetting);
    FSpeaker = kept(SpeakerSetting);
    FTestPattern.SetFrameCallback([this](const QImage& Frame) {
        if (FFrameCallback)
            FFrameCallback(Frame);
    });
}

TDeviceManager::~TDeviceManager()
{
    *FAlive = false;
    if (FPage)
        FPage->reject();
    StopCamera();
    FMeter.Stop();
    FTestSound.Stop();
}

TToneGenerator TDeviceManager::ToneMicrophoneSound()
{
    return TToneGenerator(440.0, 0.8, 1.6);
}

// ---- Lists and choice ------------------------------------------------------------

void TDeviceManager::EnsureScanned()
{
    if (!FScanned)
        Scan();
}

void TDeviceManager::Scan()
{
    FScanned = true;
    // The built-in names are taken first: a system device by that name is
    // listed with a number.
    QByteArrayList takenCameras{TTestPatternCamera::DeviceName};
    QByteArrayList takenMicrophones{ToneMicrophone};
    QByteArrayList takenSpeakers{NullSpeaker};

    std::vector<TCameraEntry> cameras;
    for (const QCameraDevice& device : QMediaDevices::videoInputs())
        cameras.push_back({ListedName(device.description(), takenCameras), device});
    cameras.push_back({TTestPatternCamera::DeviceName, QCameraDevice()});

    std::vector<TAudioEntry> microphones;
    for (const QAudioDevice& device : QMediaDevices::audioInputs())
        microphones.push_back({ListedName(device.description(), takenMicrophones), device});
    microphones.push_back({ToneMicrophone, QAudioDevice()});

    std::vector<TAudioEntry> speakers;
    for (const QAudioDevice& device : QMediaDevices::audioOutputs())
        speakers.push_back({ListedName(device.description(), takenSpeakers), device});
    speakers.push_back({NullSpeaker, QAudioDevice()});

    // A chosen system camera that is still there keeps its running source.
    const TCameraEntry* before = FindCamera(FCamera);
    const QCameraDevice chosenDevice = before ? before->Device : QCameraDevice();

    FCameras = std::move(cameras);
    FMicrophones = std::move(microphones);
    FSpeakers = std::move(speakers);

    const QByteArray camera = Resolve(FCamera, FCameras, QMediaDevices::defaultVideoInput());
    const TCameraEntry* after = FindCamera(camera);
    if (camera != FCamera || (after && after->Device != chosenDevice))
        ChangeCamera(camera);
    ChangeMicrophone(Resolve(FMicrophone, FMicrophones, QMediaDevices::defaultAudioInput()));
    FSpeaker = Resolve(FSpeaker, FSpeakers, QMediaDevices::defaultAudioOutput());
}

quint8 TDeviceManager::UpdateDeviceList()
{
    Scan();
    quint8 missing = 0;
    if (FMicrophones.empty())
        missing |= NoMicrophones;
    if (FCameras.empty())
        missing |= NoCameras;
    if (FSpeakers.empty())
        missing |= NoPlayback;
    return missing;
}

QByteArray TDeviceManager::CurrentVideoCapture()
{
    EnsureScanned();
    return FCamera;
}

QByteArray TDeviceManager::CurrentAudioCapture()
{
    EnsureScanned();
    return FMicrophone;
}

QByteArray TDeviceManager::CurrentPlayback()
{
    EnsureScanned();
    return FSpeaker;
}

const TDeviceManager::TCameraEntry* TDeviceManager::FindCamera(const QByteArray& Name) const
{
    return Find(FCameras, Name);
}

const TDeviceManager::TAudioEntry* TDeviceManager::FindMicrophone(const QByteArray& Name) const
{
    return Find(FMicrophones, Name);
}

const TDeviceManager::TAudioEntry* TDeviceManager::FindSpeaker(const QByteArray& Name) const
{
    return Find(FSpeakers, Name);
}

bool TDeviceManager::ChosenMicrophone(QAudioDevice& Device)
{
    EnsureScanned();
    const TAudioEntry* entry = FindMicrophone(FMicrophone);
    if (!entry)
        return false;
    Device = entry->Device;
    return true;
}

bool TDeviceManager::ChosenPlayback(QAudioDevice& Device)
{
    EnsureScanned();
    const TAudioEntry* entry = FindSpeaker(FSpeaker);
    if (!entry)
        return false;
    Device = entry->Device;
    return true;
}

// The client sets the same devices again and again; only a change is written.
void TDeviceManager::Keep(const char* Setting, const QByteArray& Name)
{
    KrVariant value;
    KrVariantInit(&value);
    QByteArray kept;
    if (!FStore.ReadSetting(QLatin1String(Setting), &value) || !ReadText(value, KR_PATH_BUFFER_SIZE, kept) ||
        kept != Name) {
        if (KrVariantSetString(&value, Name.constData()) == 0)
            FStore.WriteSetting(QLatin1String(Setting), value);
    }
    KrVariantClear(&value);
}

bool TDeviceManager::SetVideoCapture(const QByteArray& Name)
{
    EnsureScanned();
    const TCameraEntry* entry = FindCamera(Name);
    if (!entry && !IsNone(Name))
        return false;
    const QByteArray name = entry ? entry->Name : QByteArray(NoDevice);
    if (name != FCamera)
        ChangeCamera(name);
    Keep(CameraSetting, FCamera);
    return true;
}

bool TDeviceManager::SetAudioCapture(const QByteArray& Name)
{
    EnsureScanned();
    const TAudioEntry* entry = FindMicrophone(Name);
    if (!entry && !IsNone(Name))
        return false;
    ChangeMicrophone(entry ? entry->Name : QByteArray(NoDevice));
    Keep(MicrophoneSetting, FMicrophone);
    return true;
}

bool TDeviceManager::SetPlayback(const QByteArray& Name)
{
    EnsureScanned();
    const TAudioEntry* entry = FindSpeaker(Name);
    if (!entry && !IsNone(Name))
        return false;
    FSpeaker = entry ? entry->Name : QByteArray(NoDevice);
    Keep(SpeakerSetting, FSpeaker);
    return true;
}

// A started capture moves to the new camera.
void TDeviceManager::ChangeCamera(const QByteArray& Name)
{
    const bool started = FCameraStarted;
    StopCamera();
    FSystemCamera.reset();
    FCamera = Name;
    if (started)
        StartCamera();
}

// A running meter moves to the new microphone.
void TDeviceManager::ChangeMicrophone(const QByteArray& Name)
{
    if (Name == FMicrophone)
        return;
    const bool metering = FMeter.IsRunning();
    FMeter.Stop();
    FMicrophone = Name;
    if (metering)
        StartMeter();
}

bool TDeviceManager::SetSaturation(int Value)
{
    if (Value < 0 || Value > 200)
        return false;
    FSaturation = Value;
    return true;
}

// ---- The camera ---------------------------------------------------------------------

bool TDeviceManager::TestPatternChosen() const
{
    const TCameraEntry* entry = FindCamera(FCamera);
    return entry && entry->Device.isNull();
}

ICameraSource* TDeviceManager::Camera()
{
    EnsureScanned();
    const TCameraEntry* entry = FindCamera(FCamera);
    if (!entry)
        return nullptr;
    if (entry->Device.isNull())
        return &FTestPattern;
    if (!FSystemCamera) {
        FSystemCamera = std::make_unique<TQtCameraSource>(entry->Device);
        FSystemCamera->SetFrameCallback([this](const QImage& Frame) {
            if (FFrameCallback)
                FFrameCallback(Frame);
        });
    }
    return FSystemCamera.get();
}

bool TDeviceManager::StartCamera()
{
    ICameraSource* source = Camera();
    if (!source)
        return false;
    source->SetPaused(false);
    FCameraStarted = source->Start(FCameraFps);
    return FCameraStarted;
}

void TDeviceManager::StopCamera()
{
    if (FCameraStarted) {
        FTestPattern.Stop();
        if (FSystemCamera)
            FSystemCamera->Stop();
    }
    FCameraStarted = false;
}

void TDeviceManager::SetFrameCallback(ICameraSource::TFrameCallback Callback)
{
    FFrameCallback = std::move(Callback);
}

// ---- Properties ---------------------------------------------------------------------

void TDeviceManager::Register(TPropertyTree& Tree)
{
    const auto list = [this](auto Member) {
        return [this, Member](int32_t Operation, KrVariant* Value) -> int32_t {
            if (Operation != KR_OP_GET)
                return Refused;
            EnsureScanned();
            return GiveTexts(Value, Names(this->*Member));
        };
    };
    Tree.Add(QStringLiteral("Sender\\VideoCapture\\Cameras"), list(&TDeviceManager::FCameras));
    Tree.Add(QStringLiteral("Sender\\CaptureAudio\\AudioCaptureList"),
             list(&TDeviceManager::FMicrophones));
    Tree.Add(QStringLiteral("Receivers\\AudioPlayback\\AudioRenderList"),
             list(&TDeviceManager::FSpeakers));

    Tree.Add(QStringLiteral("Receivers\\PlaybackDevice"), [this](int32_t Operation, KrVariant* Value) {
        QByteArray name;
        if (Operation == KR_OP_GET)
            return GiveText(Value, CurrentPlayback());
        if (Operation == KR_OP_SET && ReadText(*Value, KR_PATH_BUFFER_SIZE, name))
            return SetPlayback(name) ? 0 : Refused;
        return Refused;
    });

    // An Integer kept in a field: set within Low..High, get.
    const auto integer = [](int* Field, qint64 Low, qint64 High) {
        return [Field, Low, High](int32_t Operation, KrVariant* Value) -> int32_t {
            qint64 number = 0;
            if (Operation == KR_OP_GET)
                return GiveInteger(Value, *Field);
            if (Operation != KR_OP_SET || !IntegerIn(Value, Low, High, &number))
                return Refused;
            *Field = int(number);
            return 0;
        };
    };
    Tree.Add(QStringLiteral("Sender\\FPSRate"),
             integer(&FFpsRate, 0, std::numeric_limits<int32_t>::max()));
    Tree.Add(QStringLiteral("Sender\\CaptureAudio\\MicrophoneVolume"),
             integer(&FMicrophoneVolume, 0, 65536));
    Tree.Add(QStringLiteral("Receivers\\AudioPlayback\\SystemVolume"),
             integer(&FSystemVolume, 0, 65535));

    Tree.Add(QStringLiteral("Sender\\VideoCapture\\CameraFPS"), [this](int32_t Operation, KrVariant* Value) {
        if (Operation == KR_OP_GET)
            return GiveByte(Value, quint8(FCameraFps));
        static constexpr int Rates[] = {5, 10, 15, 20, 30};
        if (Operation != KR_OP_SET || Value->Type != KrVtByte ||
            std::find(std::begin(Rates), std::end(Rates), Value->Value.Byte) == std::end(Rates))
            return Refused;
        FCameraFps = Value->Value.Byte;
        if (FCameraStarted)
            Camera()->Start(FCameraFps);
        return 0;
    });

    Tree.Add(QStringLiteral("Sender\\VideoCapture\\CameraPins"),
             [this](int32_t Operation, KrVariant* Value) { return CameraPins(Operation, Value); });
    Tree.Add(QStringLiteral("Sender\\VideoCapture\\CameraMode"),
             [this](int32_t Operation, KrVariant* Value) { return CameraMode(Operation, Value); });
    Tree.Add(QStringLiteral("Sender\\VideoCapture\\CameraPropertyPage"),
             [this](int32_t Operation, KrVariant* Value) { return PropertyPage(Operation, Value); });
    Tree.Add(QStringLiteral("Sender\\VideoCapture\\CameraControl"),
             [this](int32_t Operation, KrVariant* Value) { return CameraControl(Operation, Value); });
    Tree.Add(QStringLiteral("Receivers\\AudioPlayback\\TestPlayback"),
             [this](int32_t Operation, KrVariant* Value) { return TestPlayback(Operation, Value); });
    Tree.Add(QStringLiteral("Sender\\CaptureAudio\\MicrophoneLevel"),
             [this](int32_t Operation, KrVariant* Value) { return MicrophoneLevel(Operation, Value); });
    Tree.Add(QStringLiteral("Sender\\EnabledDevices"),
             [this](int32_t Operation, KrVariant* Value) { return EnabledDevices(Operation, Value); });

    // Before the first call: the devices are looked for again and a chosen
    // speaker that went away is replaced.
    Tree.Add(QStringLiteral("Receivers\\AudioPlayback\\PrepareAudio"),
             [this](int32_t Operation, KrVariant* Value) -> int32_t {
                 if (Operation != KR_OP_RUN || Value->Type != KrVtByte || Value->Value.Byte != 0)
                     return Refused;
                 Scan();
                 return 0;
             });
}

int32_t TDeviceManager::CameraPins(int32_t Operation, KrVariant* Value)
{
    EnsureScanned();
    const TCameraEntry* camera = FindCamera(FCamera);
    if (!camera)
        return Refused;
    // A system camera has one input, itself.
    const bool pattern = camera->Device.isNull();
    if (Operation == KR_OP_GET) {
        QByteArrayList inputs{"Camera"};
        if (pattern) {
            inputs.clear();
            for (const QString& input : TTestPatternCamera::Inputs())
                inputs.append(input.toUtf8());
        }
        if (GiveTexts(Value, inputs) != 0)
            return Refused;
        // The input in use travels in the high 16 bits of the answer.
        return pattern ? int32_t(quint32(FTestPattern.Input()) << 16) : 0;
    }
    if (Operation != KR_OP_RUN)
        return Refused;
    // Empty: no input was picked; the one in use stays.
    if (Value->Type == KrVtEmpty)
        return 0;
    qint64 index = 0;
    if (!IntegerIn(Value, 0, std::numeric_limits<int>::max(), &index))
        return Refused;
    if (pattern)
        return FTestPattern.SetInput(int(index)) ? 0 : Refused;
    return index == 0 ? 0 : Refused;
}

int32_t TDeviceManager::CameraMode(int32_t Operation, KrVariant* Value)
{
    EnsureScanned();
    const TCameraEntry* camera = FindCamera(FCamera);
    if (!camera)
        return Refused;
    const bool pattern = camera->Device.isNull();
    if (Operation == KR_OP_GET)
        return GiveInteger(Value, pattern ? TTestPatternCamera::SupportedStandards : 0);
    if (Operation != KR_OP_SET || !pattern)
        return Refused;
    quint64 code = 0;
    if (Value->Type == KrVtInteger && Value->Value.Integer >= 0)
        code = quint64(Value->Value.Integer);
    else if (Value->Type == KrVtUnsigned)
        code = Value->Value.Unsigned;
    else
        return Refused;
    if (code > std::numeric_limits<quint32>::max())
        return Refused;
    return FTestPattern.SetStandard(quint32(code)) ? 0 : Refused;
}

int32_t TDeviceManager::CameraControl(int32_t Operation, KrVariant* Value)
{
    ICameraSource* camera = Camera();
    if (!camera)
        return Refused;
    if (Operation == KR_OP_GET)
        return GiveBoolean(Value, !camera->IsPaused());
    if (Operation != KR_OP_RUN || Value->Type != KrVtBoolean)
        return Refused;
    camera->SetPaused(Value->Value.Boolean == 0);
    return 0;
}

int32_t TDeviceManager::PropertyPage(int32_t Operation, KrVariant* Value)
{
    EnsureScanned();
    if (Operation == KR_OP_GET)
        return GiveBoolean(Value, TestPatternChosen());
    // The handle is a window of the platform layer, not a widget: the
    // dialog cannot be its child and is centred instead.
    if (Operation != KR_OP_RUN || Value->Type != KrVtUnsigned)
        return Refused;
    return ShowPropertyPage();
}

int32_t TDeviceManager::ShowPropertyPage()
{
    auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!application || QThread::currentThread() != application->thread() || FPage ||
        !TestPatternChosen())
        return Refused;
    TCameraSettingsDialog dialog(FTestPattern);
    dialog.adjustSize();
    QRect area;
    if (const QWidget* active = QApplication::activeWindow())
        area = active->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        dialog.move(area.center() - dialog.rect().center());
    FPage = &dialog;
    const std::shared_ptr<bool> alive = FAlive;
    dialog.exec();
    if (*alive)
        FPage = nullptr;
    return 0;
}

int32_t TDeviceManager::TestPlayback(int32_t Operation, KrVariant* Value)
{
    if (Operation == KR_OP_GET)
        return GiveBoolean(Value, FTestSound.IsRunning());
    if (Operation == KR_OP_SET) {
        qint64 volume = 0;
        if (!FTestSound.IsRunning() || !IntegerIn(Value, 0, 65535, &volume))
            return Refused;
        FTestSound.SetVolume(double(volume) / 65535.0);
        return 0;
    }
    if (Operation != KR_OP_RUN)
        return Refused;
    if (Value->Type == KrVtBoolean) {
        if (Value->Value.Boolean != 0)
            return Refused;
        FTestSound.Stop();
        return 0;
    }
    QByteArray name;
    if (!ReadText(*Value, KR_PATH_BUFFER_SIZE, name))
        return Refused;
    EnsureScanned();
    const TAudioEntry* speaker = FindSpeaker(name);
    if (!speaker)
        return Refused;
    return FTestSound.Start(speaker->Device, double(FSystemVolume) / 65535.0) ? 0 : Refused;
}

int TDeviceManager::StartMeter()
{
    const TAudioEntry* microphone = FindMicrophone(FMicrophone);
    if (!microphone) {
        FMeter.Stop();
        return Refused;
    }
    if (microphone->Device.isNull()) {
        FMeter.StartTone(ToneMicrophoneSound());
        return 0;
    }
    return FMeter.StartDevice(microphone->Device) ? 0 : Refused;
}

int32_t TDeviceManager::MicrophoneLevel(int32_t Operation, KrVariant* Value)
{
    if (Operation == KR_OP_GET) {
        const qint64 level = qint64(FMeter.Level()) * FMicrophoneVolume / 65536;
        return GiveInteger(Value, std::min<qint64>(level, 32767));
    }
    if (Operation != KR_OP_RUN || Value->Type != KrVtBoolean)
        return Refused;
    if (Value->Value.Boolean == 0) {
        FMeter.Stop();
        return 0;
    }
    EnsureScanned();
    return StartMeter();
}

int32_t TDeviceManager::EnabledDevices(int32_t Operation, KrVariant* Value)
{
    if (Operation == KR_OP_GET) {
        const bool flags[2] = {FSendAudio, FSendVideo};
        return GiveArray(Value, 2, [&](KrVariant* Element, int Index) {
            GiveBoolean(Element, flags[Index]);
            return true;
        });
    }
    if (Operation != KR_OP_SET || Value->Type != KrVtArray || Value->Count != 2 ||
        !Value->Value.Array)
        return Refused;
    const KrVariant* elements = Value->Value.Array;
    if (elements[0].Type != KrVtBoolean || elements[1].Type != KrVtBoolean)
        return Refused;
    FSendAudio = elements[0].Value.Boolean != 0;
    FSendVideo = elements[1].Value.Boolean != 0;
    return 0;
}
