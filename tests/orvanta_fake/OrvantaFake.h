#pragma once

#include "orvanta.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QVariant>
#include <functional>
#include <optional>

// A library with the engine's C interface that records every call and answers
// from what the test scripted. Tests link it in place of the engine.
//
// Arguments are recorded by position: Args[i] is parameter i of the C
// declaration. Integers, handles and callback addresses are qint64; texts are
// QByteArray (a null pointer gives a null QByteArray); a KrProcess value is a
// copy of what came in: Integer qint64, Unsigned quint64, Byte quint8, Boolean
// bool, String QByteArray, Array QVariantList, Empty (or no variant) an
// invalid QVariant. Pointers to output areas are recorded as invalid QVariants.
// Blocks are recorded by content: KrSetFlags its 132 bytes, KrSetHistory a
// QByteArrayList of its 127 entries, KrSetProxySet a QVariantList of the five
// values (type, address, port, user name, password); KrSetProxyNetMode and
// KrSetManualPort record the value they pointed to on entry.
//
// Unscripted, every function returns 0 and writes empty texts and zeroed
// blocks, except KrInterfaceGetVersion (KR_INTERFACE_VERSION), KrInitialize
// (DefaultInstance), KrProcess (-1, the value untouched) and KrGetServers (the
// number of entries written). In-place values are left as they are unless
// scripted. Whatever the script says, no output goes past the sizes orvanta.h
// gives, and every text written is zero-terminated.
//
// All of it is safe to use from any thread.

struct TFakeCall
{
    QByteArray Function;
    QVariantList Args;

    // For KrProcess calls.
    int32_t Operation() const { return Args.value(1).toInt(); }
    QByteArray Path() const { return Args.value(2).toByteArray(); }
    QVariant Value() const { return Args.value(3); }
};

// One user of KrGetLoggedUsersList. A null text becomes a null slot, so a null
// UserName ends the list at that user.
struct TFakeUser
{
    QByteArray UserName;
    QByteArray DisplayName;
    QByteArray Third;
    qint64 Number = 0;
    QByteArray Fifth;
};

// What KrGetProxySet writes.
struct TFakeProxy
{
    int32_t ProxyType = 0;
    QByteArray Address;
    uint16_t Port = 0;
    QByteArray UserName;
    QByteArray Password;
};

// Answers one KrProcess call in place of a scripted value: gets the caller's
// variant (may be null) and returns the result code. Runs without the fake's
// lock held, so it may call engine functions itself.
using TFakeProcessHandler = std::function<int32_t(KrVariant* Value)>;

namespace TOrvantaFake {

constexpr KrInstance DefaultInstance = 0x4B0001;
constexpr int32_t AnyOperation = -1;
constexpr int32_t AnyKind = -1;

// Forgets the recorded calls, the whole script and the registered track callback.
void Reset();

QList<TFakeCall> Calls();
QList<TFakeCall> Calls(const QByteArray& Function);
QList<TFakeCall> ProcessCalls(const QByteArray& Path, int32_t Operation = AnyOperation);

// The result of a function: queued one-shot results first, in order, then the
// default. Cut to the function's return type.
void SetResult(const QByteArray& Function, qint64 Result);
void QueueResults(const QByteArray& Function, const QList<qint64>& Results);

// The texts a function writes into its text buffers, in parameter order:
// KrGetMyName and KrGetOtherName (name, display name, third), KrGetChatMessage
// and KrGetCommandMessage (user, text), KrReadUserInfo (the twelve fields),
// KrGetSkinName, KrGetCurrentVideoCapture, KrGetCurrentAudioCapture,
// KrGetDefaultServer and KrGetReceiverState (one text).
void SetTexts(const QByteArray& Function, const QByteArrayList& Texts);
// KrGetProperty's text for one property name.
void SetProperty(const QByteArray& Name, const QByteArray& Text);
// KrGetServers: entries of the two arrays, at most Count (and 127) of them.
void SetServers(const QByteArrayList& Names, const QByteArrayList& Addresses = {});
void SetHistory(const QByteArrayList& Entries);
// Raw blocks; a shorter script is padded with zeros.
void SetFlags(const QByteArray& Block);
void SetBandwidthTestResult(const QByteArray& Record);
// KrGetLoggedUsersList's list for one kind, or for every kind without its own.
// The fake keeps the slots until the next KrGetLoggedUsersList or Reset.
void SetUsers(const QList<TFakeUser>& Users, int32_t Kind = AnyKind);
void SetSenderRender(KrRenderProc Proc, intptr_t RenderInstance);
void SetProxy(const TFakeProxy& Proxy);
void SetTraffic(int32_t Sent, int32_t Received);
// In-place answers: the mode KrSetProxyNetMode writes back on every call, the
// port KrSetManualPort writes back for one mode.
void SetProxyNetMode(int32_t Mode);
void SetManualPort(int32_t Mode, uint16_t Port);

// KrProcess answers for one operation and exact path: the result code, and
// optionally a value that replaces the caller's (an invalid QVariant makes it
// Empty). The replacement is allocated with the KrVariant functions, so the
// caller frees it with KrVariantClear. QString values are written as UTF-8.
void SetProcess(int32_t Operation, const QByteArray& Path, int32_t Result);
void SetProcess(int32_t Operation, const QByteArray& Path, int32_t Result, const QVariant& Value);
void SetProcessHandler(int32_t Operation, const QByteArray& Path, TFakeProcessHandler Handler);
// A stored setting: KR_OP_READ_SETTING of Path answers 0 and Value.
void SetSetting(const QByteArray& Path, const QVariant& Value);

// Calls the callback registered with KrSetTrackCallBack, with its context, on
// the calling thread; nothing when none is registered (KrRelease and Reset
// drop it).
std::optional<int32_t> InvokeTrackCallback(int32_t Track, int32_t Size, const void* Buffer,
                                           const char* Id);

} // namespace TOrvantaFake
