// The engine component: creation, initialisation and release, the status
// modes, and the handling of the engine's messages.
#include "KrClient.h"

#include "platform/Resources.h"
#include "startup/KrStrings.h"

#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Offsets of the client's words in the engine's flags block.
enum TFlagsOffset
{
    foQualityScale = 8,
    foDisableDirect = 12,
    foInts = 20, // five integers
    foSaturation = 40,
    foPlayVolume = 44,
    foRecVolume = 48,
    foVideoChannel = 52,
    foVideoStandard = 56,
    foDisableScreenSaver = 60,
    foFrameRate = 76,
    foJitter = 80,
};

constexpr int HistoryKept = 9;
constexpr std::array<int, 5> FrameRates = {5, 10, 15, 20, 30};

qint32 Word(const QByteArray& Block, int Offset)
{
    return qFromLittleEndian<qint32>(Block.constData() + Offset);
}

void SetWord(QByteArray& Block, int Offset, qint32 Value)
{
    qToLittleEndian<qint32>(Value, Block.data() + Offset);
}

bool IsVideoStandard(quint32 Code)
{
    for (const TVideoCode& row : VideoCodes)
        if (row.Code == Code)
            return true;
    return false;
}

// Transition codes by (mode before, mode after); 0 for any other change.
int TransitionCode(int From, int To)
{
    static const QHash<int, int> codes = {{0 * 10 + 1, 1}, {1 * 10 + 0, 2}, {1 * 10 + 2, 3},
                                          {2 * 10 + 1, 4}, {2 * 10 + 3, 5}, {3 * 10 + 4, 7},
                                          {4 * 10 + 5, 8}, {5 * 10 + 2, 9}};
    return codes.value(From * 10 + To, 0);
}

// Event codes that end a call that is being placed, with their reasons.
TCallBreakReason CallBreakReason(int EventCode)
{
    static const QHash<int, int> reasons = {
        {129, 3}, {131, 11}, {132, 2}, {133, 6},  {134, 4}, {135, 9},  {136, 8},  {137, 14},
        {138, 5}, {139, 16}, {140, 7}, {141, 15}, {142, 3}, {143, 12}, {145, 13}, {146, 10}};
    return reasons.value(EventCode, -1);
}

// The user list announced by an event code, or 0.
int ListKind(int EventCode)
{
    static const QHash<int, int> kinds = {{1552, 1}, {1568, 2}, {1584, 3}, {1600, 4}, {1616, 5},
                                          {1632, 6}, {1648, 7}, {1680, 9}, {1696, 10}};
    return kinds.value(EventCode, 0);
}

} // namespace

TKrCore::TKrCore(QObject* Owner) : QObject(Owner)
{
    ClearAccountInfo();
}

TKrCore::~TKrCore() = default;

int TKrCore::Process(int Operation, const QString& Path, TKrValue& Value)
{
    return KrProcess(FInstance, Operation, ToEngineText(Path).constData(), Value.Data());
}

void TKrCore::Warn(TWarningNotify Warning)
{
    if (OnWarning)
        OnWarning(this, Warning);
}

void TKrCore::Initialize(const QString& ServerName, const QString& ServerAddress,
                         const QString& ServerPort, const QString& ServerFile)
{
    FInitialized = true;
    Version = ProgramFileVersion().ToString();
    const bool accepted =
        KrInterfaceGetVersion(ToEngineText(AppName).constData(),
                              ToEngineText(Version).constData()) == KR_INTERFACE_VERSION;
    if (!accepted) {
        Warn(0);
    } else {
        FInstance = KrInitialize(nullptr, FMessageObject ? FMessageObject->Handle() : 0,
                                 ToEngineText(RegString).constData());
        FDirectX = false;
        TKrValue capability;
        if (Process(KR_OP_GET, QStringLiteral("Sender\\Render\\GetCapability"), capability) == 0)
            FDirectX = capability.AsBoolean();
        LoadServers(ServerName, ServerAddress, ServerPort, ServerFile);

        TTextBuffer skin(KR_PATH_BUFFER_SIZE);
        KrGetSkinName(FInstance, skin.Data());
        SkinName =
            !skin.Text().isEmpty() && QFileInfo::exists(skin.Text()) ? skin.Text() : QString();

        ReadFlags();
        ReadHistory();
        UpdateDeviceLists();
        FMicMemory = 0;
        FTestPlayback = false;
    }
    FConferenceType = ctPrivate;
    if (accepted) {
        FDefaultServer = -1;
        const QString defaultName = GetDefaultServerName();
        for (int i = 0; i < FServerList.size(); ++i)
            if (FServerList.at(i).compare(defaultName, Qt::CaseInsensitive) == 0) {
                FDefaultServer = i;
                break;
            }
        quint16 port = 0;
        ManualPort(port, 1);
        FDefaultPort = port;
    }
    FEchoState = 1;
    if (accepted) {
        SetOutBandwidth(60);
        SetInBandwidth(60);
        KrSetTrackCallBack(FInstance, &TKrCore::TrackCallback, this);
    }
}

void TKrCore::ReadFlags()
{
    FFlagsBlock = QByteArray(KR_FLAGS_BLOCK_SIZE, '\0');
    KrGetFlags(FInstance, reinterpret_cast<uint8_t*>(FFlagsBlock.data()));
    const QByteArray& block = FFlagsBlock;
    SetQualityScale(Word(block, foQualityScale) != 0);
    SetDisableDirect(Word(block, foDisableDirect) != 0);
    DisableScreenSaver = Word(block, foDisableScreenSaver) != 0;
    aFlags = {Word(block, foInts), Word(block, foInts + 4), Word(block, foInts + 8),
              Word(block, foInts + 12), Word(block, foInts + 16)};
    const auto rate = std::find(FrameRates.begin(), FrameRates.end(), Word(block, foFrameRate));
    if (rate != FrameRates.end())
        FFPS = TFPSMode(rate - FrameRates.begin());
    else
        SetFPS(fp15);
    FJitter = Word(block, foJitter) != 0;
    SetSaturation(Word(block, foSaturation));
    FPlayVolumeEngine = Word(block, foPlayVolume);
    FRecVolumeEngine = Word(block, foRecVolume);
    FCurrentVideoChannel = Word(block, foVideoChannel);
    const quint32 standard = quint32(Word(block, foVideoStandard));
    FVideoStandard = qPopulationCount(standard) == 1 && IsVideoStandard(standard) ? standard : 0;
}

void TKrCore::WriteFlags()
{
    // The words the engine keeps for itself go back as it gave them.
    QByteArray& block = FFlagsBlock;
    if (block.size() != KR_FLAGS_BLOCK_SIZE)
        block = QByteArray(KR_FLAGS_BLOCK_SIZE, '\0');
    SetWord(block, foQualityScale, FQualityScale);
    SetWord(block, foDisableDirect, FDisableDirect);
    SetWord(block, foDisableScreenSaver, DisableScreenSaver);
    const std::array<int, 5> ints = {aFlags.int1, aFlags.int2, aFlags.int3, aFlags.int4,
                                     aFlags.int5};
    for (int i = 0; i < 5; ++i)
        SetWord(block, foInts + 4 * i, ints[i]);
    SetWord(block, foSaturation, FSaturation);
    SetWord(block, foPlayVolume, FPlayVolumeEngine);
    SetWord(block, foRecVolume, FRecVolumeEngine);
    SetWord(block, foVideoChannel, FCurrentVideoChannel);
    SetWord(block, foVideoStandard, qint32(FVideoStandard));
    SetWord(block, foFrameRate, FrameRates[FFPS]);
    SetWord(block, foJitter, FJitter);
    KrSetFlags(FInstance, reinterpret_cast<const uint8_t*>(block.constData()));
}

void TKrCore::ReadHistory()
{
    FHistoryBlock = QByteArray(KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE, '\0');
    KrGetHistory(FInstance, FHistoryBlock.data());
    History.clear();
    for (int i = 0; i < KR_HISTORY_ENTRIES; ++i) {
        const QString entry = EngineText(FHistoryBlock.constData() + i * KR_HISTORY_ENTRY_SIZE,
                                         KR_HISTORY_ENTRY_SIZE);
        if (!entry.isEmpty())
            History << entry;
    }
}

void TKrCore::WriteHistory()
{
    // Entries past the ninth go back as the engine gave them.
    QByteArray& block = FHistoryBlock;
    if (block.size() != KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE)
        block = QByteArray(KR_HISTORY_ENTRIES * KR_HISTORY_ENTRY_SIZE, '\0');
    for (int i = 0; i < HistoryKept; ++i) {
        char* entry = block.data() + i * KR_HISTORY_ENTRY_SIZE;
        std::memset(entry, 0, KR_HISTORY_ENTRY_SIZE);
        const QByteArray text = ToEngineText(History.value(i));
        std::memcpy(entry, text.constData(),
                    size_t(qMin<qsizetype>(text.size(), KR_HISTORY_ENTRY_SIZE - 1)));
    }
    KrSetHistory(FInstance, block.constData());
}

void TKrCore::Release()
{
    if (!FInitialized)
        return;
    FInitialized = false;
    try {
        WriteHistory();
        WriteFlags();
        ApplyDevices();
        KrSetSkinName(FInstance, ToEngineText(SkinName).constData());
        KrRelease(FInstance);
    } catch (...) {
    }
}

void TKrCore::ChangeMode(int NewMode)
{
    if (FClosing || NewMode == FStatusMode)
        return;
    if (FStatusMode == 3 && NewMode == 2)
        throw EKrError("Not valid call break !!!");
    const TKrTransition code = TransitionCode(FStatusMode, NewMode);
    FStatusMode = NewMode;
    if (OnModeChange)
        OnModeChange(this, code);
}

void TKrCore::DoCallBreak(TCallBreakReason Reason)
{
    if (FStatusMode != 3)
        return;
    FStatusMode = 2;
    if (OnCallBreak)
        OnCallBreak(this, Reason);
}

void TKrCore::HandleEngineMessage(TMessage& Msg)
{
    if (FClosing) {
        FLastStatus = 0;
        return;
    }
    quint32 status = quint32(Msg.WParam);
    LPARAM param = Msg.LParam;
    const int eventCode = int(status & KR_STATUS_EVENT_MASK);

    // A handler that pumps messages (a modal dialog) may handle newer status
    // words before this one is done. Those are then the state: this older word
    // takes no further edges and is not remembered, or a bit that came and
    // went meanwhile would look set and its next rise would go unnoticed.
    const quint64 serial = ++FStatusSerial;
    const auto current = [&] { return serial == FStatusSerial; };
    const auto rises = [&](quint32 Bit) {
        return current() && (status & Bit) && !(FLastStatus & Bit);
    };
    const auto falls = [&](quint32 Bit) {
        return current() && !(status & Bit) && (FLastStatus & Bit);
    };
    // Remembered before the event is raised: a message handled inside the
    // handler (a modal dialog pumps messages) must not see the edge again.
    const auto remember = [&](quint32 Bit) { FLastStatus = (FLastStatus & ~Bit) | (status & Bit); };
    // Not remembered at all: the bit rises again with the next message.
    const auto drop = [&](quint32 Bit) { status &= ~Bit; };

    if (rises(KR_STATUS_CONNECTED)) {
        remember(KR_STATUS_CONNECTED);
        ChangeMode(1);
    }
    if (rises(KR_STATUS_LOGGED_IN)) {
        if (LoadAccountInfo()) {
            remember(KR_STATUS_LOGGED_IN);
            if (FStatusMode == 1)
                ChangeMode(2);
        } else {
            KrLogoutServer(FInstance);
            drop(KR_STATUS_LOGGED_IN);
            Warn(11);
        }
    }
    if (rises(KR_STATUS_JOIN_REQUEST)) {
        if (FStatusMode == 4 && OnIncommingQuery) {
            remember(KR_STATUS_JOIN_REQUEST);
            OnIncommingQuery(this, true, 2);
        } else {
            drop(KR_STATUS_JOIN_REQUEST);
            KrRejectProtocolConnect(FInstance);
        }
    }
    if (rises(KR_STATUS_INCOMING_CALL)) {
        if (FStatusMode == 2 && OnIncommingQuery) {
            remember(KR_STATUS_INCOMING_CALL);
            OnIncommingQuery(this, true, eventCode == 144 ? 1 : 0);
        } else {
            drop(KR_STATUS_INCOMING_CALL);
            KrRejectProtocolConnect(FInstance);
        }
    }
    if (rises(KR_STATUS_LINK_UP)) {
        FIsOwner = false;
        if (FStatusMode == 3) {
            remember(KR_STATUS_LINK_UP);
            FHandShakeSuccess = true;
            FIsOwner = eventCode == 160;
            FPeerName = GetPeerName();
        } else {
            drop(KR_STATUS_LINK_UP);
        }
    }
    if (falls(KR_STATUS_LINK_UP)) {
        remember(KR_STATUS_LINK_UP);
        FEchoState = 1;
        SetEchoMode(0);
        FIsOwner = false;
        FHandShakeSuccess = false;
        switch (FStatusMode) {
        case 3:
            DoCallBreak(0);
            break;
        case 4:
            ChangeMode(5);
            ChangeMode(2);
            break;
        case 5:
            ChangeMode(2);
            break;
        }
    }
    if (falls(KR_STATUS_JOIN_REQUEST)) {
        remember(KR_STATUS_JOIN_REQUEST);
        if (OnIncommingQuery)
            OnIncommingQuery(this, false, 2);
    }
    if (falls(KR_STATUS_INCOMING_CALL)) {
        remember(KR_STATUS_INCOMING_CALL);
        if (OnIncommingQuery)
            OnIncommingQuery(this, false, 0);
    }
    if (falls(KR_STATUS_LOGGED_IN)) {
        remember(KR_STATUS_LOGGED_IN);
        if (FStatusMode == 3)
            DoCallBreak(1);
        ClearAccountInfo();
        ChangeMode(1);
    }
    if (falls(KR_STATUS_CONNECTED)) {
        remember(KR_STATUS_CONNECTED);
        FLoginPending = false;
        ChangeMode(0);
    }

    if (status & KR_STATUS_CHAT_WAITING) {
        if (OnMessage) {
            TTextBuffer user(KR_MESSAGE_BUFFER_SIZE);
            TTextBuffer text(KR_MESSAGE_BUFFER_SIZE);
            const int32_t result = KrGetChatMessage(FInstance, param, user.Data(), text.Data());
            if (FStatusMode == 4)
                OnMessage(this, result == 1, text.Text(), user.Text());
        }
        param = 0;
    }
    if (status & KR_STATUS_COMMAND_WAITING) {
        if (OnCommand) {
            TTextBuffer user(KR_MESSAGE_BUFFER_SIZE);
            TTextBuffer command(KR_MESSAGE_BUFFER_SIZE);
            KrGetCommandMessage(FInstance, param, user.Data(), command.Data());
            if (FStatusMode == 4) {
                const QString text = command.Text();
                if (text == QLatin1String("EchoOn")) {
                    SetEchoMode(3);
                    SendCommand(QStringLiteral("EchoOnCommit"), user.Text());
                } else if (text == QLatin1String("EchoOFF")) {
                    SetEchoMode(0);
                    SendCommand(QStringLiteral("EchoOffCommit"), user.Text());
                } else if (text == QLatin1String("EchoOnCommit")) {
                    FEchoState = 0;
                    Warn(12);
                } else if (text == QLatin1String("EchoOffCommit")) {
                    FEchoState = 1;
                    Warn(12);
                } else {
                    OnCommand(this, text, user.Text());
                }
            }
        }
        param = 0;
    }

    if (current())
        FLastStatus = status & ~quint32(0xFFFF);
    DispatchEventCode(eventCode, param);
}

void TKrCore::DispatchEventCode(int EventCode, LPARAM Param)
{
    switch (EventCode) {
    case 17:
        Warn(6);
        return;
    case 28:
        Warn(8);
        return;
    case 31:
        Warn(9);
        return;
    case 33:
        FLoginPending = false;
        Warn(2);
        return;
    case 34:
        FLoginPending = false;
        Warn(3);
        return;
    case 65:
        FLoginPending = false;
        Warn(4);
        return;
    case 69:
        Warn(5);
        return;
    case 71:
        FLoginPending = false;
        Warn(10);
        return;
    case 256:
        MultiConnect(Param);
        return;
    case 272:
        ReceiverChanged(Param);
        return;
    case 288:
        ReceiverRemoved(Param);
        return;
    case 1280:
        Warn(7);
        return;
    case 1536:
    case 1537:
    case 1538:
    case 1539:
    case 1540:
        if (OnBookResult) {
            static constexpr int results[] = {0, 2, 3, 1, 4};
            OnBookResult(this, results[EventCode - 1536], int(Param));
        }
        return;
    case 1664: {
        QMutexLocker locker(&FLock);
        ReadUserList(8);
        if (!FUserList.isEmpty() && OnUserDetail)
            OnUserDetail(this, FUserList.first());
        return;
    }
    case 1712: {
        QMutexLocker locker(&FLock);
        ReadUserList(11);
        if (!FUserList.isEmpty() && OnUserPicture)
            OnUserPicture(this, FUserList.first());
        return;
    }
    }
    if (const TCallBreakReason reason = CallBreakReason(EventCode); reason >= 0) {
        DoCallBreak(reason);
    } else if (const int kind = ListKind(EventCode)) {
        QMutexLocker locker(&FLock);
        ReadUserList(kind);
        if (OnListArrival)
            OnListArrival(this, kind, FUserList);
    } else if (EventCode & 15) {
        Warn(1);
    }
}

void TKrCore::HandleCallMessage(TMessage& Msg)
{
    if (FClosing)
        return;
    switch (Msg.WParam) {
    case KR_CALL_PEER_LEFT:
        if (FStatusMode == 4) {
            KrHangupProtocolConnect(FInstance, 0);
            ChangeMode(5);
        }
        break;
    case KR_CALL_PEER_HUNG_UP:
        KrHangupProtocolConnect(FInstance, 0);
        DoCallBreak(1);
        break;
    case KR_CALL_ESTABLISHED:
        if (FStatusMode == 2)
            KrHangupProtocolConnect(FInstance, 0);
        else
            ChangeMode(4);
        break;
    }
}

void TKrCore::ReadUserList(int Kind)
{
    if (FClosing)
        return;
    QMutexLocker locker(&FLock);
    const intptr_t* entries = nullptr;
    KrGetLoggedUsersList(FInstance, &entries, Kind);
    FUserList.clear();
    if (FStatusMode <= 1 || !entries)
        return;
    const auto text = [](intptr_t Slot) { return EngineText(reinterpret_cast<const char*>(Slot)); };
    for (const intptr_t* user = entries; user[0] != 0; user += 5) {
        FUserList << text(user[0]) << text(user[1]) << text(user[2])
                  << QString::number(qint64(user[3])) << text(user[4]);
    }
}

int32_t TKrCore::TrackCallback(void* Context, int32_t Track, int32_t Size, const void* Buffer,
                               const char* ID)
{
    auto* core = static_cast<TKrCore*>(Context);
    if (core && core->OnNotifyTrack)
        core->OnNotifyTrack(core, Track, Size, Buffer, ID);
    return 0;
}
