#pragma once

#include "AudioDevices.h"
#include "CameraSource.h"
#include "TestPatternCamera.h"
#include "ToneGenerator.h"
#include "orvanta.h"

#include <QAudioDevice>
#include <QByteArray>
#include <QCameraDevice>
#include <memory>
#include <vector>

class TEngineStore;
class TPropertyTree;
class TQtCameraSource;

// The cameras, microphones and playback devices of one engine instance: the
// lists, the choice (kept between runs), volumes, frame rate, the camera's
// inputs and standards, the microphone meter and the playback test. The
// built-in devices are always listed, so every path works without hardware.
// Used on the thread that made the engine.
//
// The sender takes pictures from the chosen camera: StartCamera() at the
// chosen frame rate, frames through SetFrameCallback() or LatestFrame(),
// StopCamera(). A change of camera while started moves the capture to the
// new one; the callback stays.
class TDeviceManager
{
public:
    static constexpr const char* NoDevice = "None";
    static constexpr const char* ToneMicrophone = "Tone Generator";
    static constexpr const char* NullSpeaker = "Silent Output";
    // Answer of UpdateDeviceList.
    static constexpr quint8 NoMicrophones = 0x1;
    static constexpr quint8 NoCameras = 0x2;
    static constexpr quint8 NoPlayback = 0x4;

    explicit TDeviceManager(TEngineStore& Store);
    ~TDeviceManager();
    TDeviceManager(const TDeviceManager&) = delete;
    TDeviceManager& operator=(const TDeviceManager&) = delete;

    void Register(TPropertyTree& Tree);

    // Looks for devices again; flags of the kinds that have none.
    quint8 UpdateDeviceList();
    // The chosen device's name, or "None".
    QByteArray CurrentVideoCapture();
    QByteArray CurrentAudioCapture();
    QByteArray CurrentPlayback();
    // A listed name (case does not matter) or "None"; false, changing
    // nothing, for any other.
    bool SetVideoCapture(const QByteArray& Name);
    bool SetAudioCapture(const QByteArray& Name);
    bool SetPlayback(const QByteArray& Name);

    // How video is drawn: bicubic scaling, saturation 0..200 (100 unchanged).
    void SetForceBicubic(bool On) { FForceBicubic = On; }
    bool ForceBicubic() const { return FForceBicubic; }
    bool SetSaturation(int Value);
    int Saturation() const { return FSaturation; }

    // -- For the sender
    // The chosen camera's source; null when none is chosen.
    ICameraSource* Camera();
    bool StartCamera();
    void StopCamera();
    bool CameraStarted() const { return FCameraStarted; }
    void SetFrameCallback(ICameraSource::TFrameCallback Callback);
    int CameraFps() const { return FCameraFps; }
    int FpsRate() const { return FFpsRate; }
    bool SendAudio() const { return FSendAudio; }
    bool SendVideo() const { return FSendVideo; }
    // 0..65536 for the microphone (65536 unchanged), 0..65535 for playback.
    int MicrophoneVolume() const { return FMicrophoneVolume; }
    int SystemVolume() const { return FSystemVolume; }
    // The chosen microphone and playback device: false when none is chosen;
    // Device is null for a built-in one.
    bool ChosenMicrophone(QAudioDevice& Device);
    bool ChosenPlayback(QAudioDevice& Device);
    // The built-in microphone's sound.
    static TToneGenerator ToneMicrophoneSound();

private:
    struct TCameraEntry
    {
        QByteArray Name;
        QCameraDevice Device; // null for the built-in camera
    };
    struct TAudioEntry
    {
        QByteArray Name;
        QAudioDevice Device; // null for a built-in device
    };

    void EnsureScanned();
    void Scan();
    void ChangeCamera(const QByteArray& Name);
    void ChangeMicrophone(const QByteArray& Name);
    void Keep(const char* Setting, const QByteArray& Name);
    const TCameraEntry* FindCamera(const QByteArray& Name) const;
    const TAudioEntry* FindMicrophone(const QByteArray& Name) const;
    const TAudioEntry* FindSpeaker(const QByteArray& Name) const;
    bool TestPatternChosen() const;
    int StartMeter();

    int32_t CameraPins(int32_t Operation, KrVariant* Value);
    int32_t CameraMode(int32_t Operation, KrVariant* Value);
    int32_t TestPlayback(int32_t Operation, KrVariant* Value);
    int32_t MicrophoneLevel(int32_t Operation, KrVariant* Value);
    int32_t PropertyPage(int32_t Operation, KrVariant* Value);
    int32_t CameraControl(int32_t Operation, KrVariant* Value);
    int32_t EnabledDevices(int32_t Operation, KrVariant* Value);
    int32_t ShowPropertyPage();

    TEngineStore& FStore;
    bool FScanned = false;
    std::vector<TCameraEntry> FCameras;
    std::vector<TAudioEntry> FMicrophones;
    std::vector<TAudioEntry> FSpeakers;
    // Chosen names; until the first look for devices, what the last run kept.
    QByteArray FCamera;
    QByteArray FMicrophone;
    QByteArray FSpeaker;

    TTestPatternCamera FTestPattern;
    std::unique_ptr<TQtCameraSource> FSystemCamera; // for a chosen camera of the system
    ICameraSource::TFrameCallback FFrameCallback;
    bool FCameraStarted = false;
    int FCameraFps = 15;
    int FFpsRate = 32;

    TMicrophoneMeter FMeter;
    TTestSound FTestSound;
    int FMicrophoneVolume = 65536;
    int FSystemVolume = 65535;
    bool FSendAudio = true;
    bool FSendVideo = true;
    bool FForceBicubic = false;
    int FSaturation = 100;

    class QDialog* FPage = nullptr; // the open settings dialog
    // Cleared when the manager goes: a settings dialog running in a nested
    // event loop must not touch it afterwards.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
