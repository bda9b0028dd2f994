/*
 * orvanta.h: the public C interface of the Orvanta engine library.
 *
 * The engine does all capture, coding, transport and rendering of audio and
 * video, all traffic with the conference server, and keeps the client's
 * settings. A client drives it through the functions below, through a tree of
 * named properties (KrProcess) and through the messages the engine posts to
 * the client's windows.
 *
 * Conventions
 * - Every function returns 0 on success unless its comment says otherwise.
 * - Texts are zero-terminated 8-bit strings; display names, chat, user details
 *   and search conditions are UTF-8.
 * - Output buffers have the fixed sizes named by the KR_*_SIZE constants; the
 *   engine never writes more than that and always zero-terminates a text.
 * - Handles (instances, windows, render instances, message data) are
 *   pointer-sized integers; 0 means none.
 * - Notifications are posted window messages (KR_WM_*), handled on the
 *   receiver's thread. A pointer or handle carried by a message is valid only
 *   while that message is being handled.
 */
#ifndef ORVANTA_H
#define ORVANTA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ORVANTA_BUILD)
#define KR_API __attribute__((visibility("default")))
#else
#define KR_API
#endif

typedef intptr_t KrInstance; /* engine instance, from KrInitialize */
typedef intptr_t KrWindow;   /* window handle of the platform layer */

/* ---- Interface version -------------------------------------------------- */

#define KR_INTERFACE_VERSION 1000

/* ---- Sizes of the buffers the client passes ----------------------------- */

#define KR_PATH_BUFFER_SIZE 33020    /* device names, skin file name */
#define KR_HISTORY_ENTRIES 127       /* history block: 127 entries ... */
#define KR_HISTORY_ENTRY_SIZE 260    /* ... of 260 bytes (33020 bytes) */
#define KR_FLAGS_BLOCK_SIZE 132      /* flags block: 32-bit little-endian words */
#define KR_SERVER_ENTRIES 127        /* server list: up to 127 entries ... */
#define KR_SERVER_ENTRY_SIZE 260     /* ... of 260 bytes */
#define KR_DEFAULT_SERVER_SIZE 255   /* KrGetDefaultServer */
#define KR_NAME_BUFFER_SIZE 276      /* KrGetMyName, KrGetOtherName */
#define KR_RECEIVER_NAME_SIZE 261    /* KrGetReceiverState */
#define KR_MESSAGE_BUFFER_SIZE 10001 /* KrGetChatMessage, KrGetCommandMessage */
#define KR_PROPERTY_BUFFER_SIZE 256  /* KrGetProperty */
#define KR_USER_INFO_FIELDS 12       /* KrReadUserInfo: twelve buffers ... */
#define KR_USER_INFO_FIELD_SIZE 3072 /* ... of 3072 bytes */
#define KR_PROXY_TEXT_SIZE 256       /* texts of the proxy settings block */
#define KR_BWT_RESULT_SIZE 312       /* bandwidth test result record */

/* ---- Messages the engine posts ------------------------------------------ */

#define KR_WM_USER 0x0400
/* To the window given to KrInitialize. WParam: status word (bits 0-11 event
 * code, KR_STATUS_* bits); LParam: data of the event, or the handle of a
 * waiting chat message or peer command. */
#define KR_WM_STATUS (KR_WM_USER + 16)
/* To the window given to KrInitialize. WParam: KR_CALL_* code; LParam: data. */
#define KR_WM_CALL (KR_WM_USER + 17)
/* To the window given to KrBwtStart. WParam: passed to KrBwtGet; LParam:
 * KR_BWT_* state. */
#define KR_WM_BANDWIDTH_TEST (KR_WM_USER + 22)
/* To the window given to KrSetProxyDialog. WParam, LParam: writable buffers of
 * KR_PROXY_TEXT_SIZE bytes for the user name and the password; answer with
 * KrProxyDialogEnd. */
#define KR_WM_PROXY_AUTH (KR_WM_USER + 33)
/* Posted to a panel window whose renderer has a new frame, so the panel
 * repaints. WParam: the render instance; LParam: 0. Not posted again until
 * the panel has painted (or about a second has passed). */
#define KR_WM_RENDER_FRAME (KR_WM_USER + 40)

#define KR_STATUS_EVENT_MASK 0xFFF
#define KR_STATUS_LOGGED_IN 0x10000
#define KR_STATUS_CONNECTED 0x40000
#define KR_STATUS_INCOMING_CALL 0x80000
#define KR_STATUS_LINK_UP 0x100000
#define KR_STATUS_CHAT_WAITING 0x400000
#define KR_STATUS_COMMAND_WAITING 0x800000
#define KR_STATUS_JOIN_REQUEST 0x1000000

#define KR_CALL_PEER_LEFT 3
#define KR_CALL_PEER_HUNG_UP 5
#define KR_CALL_ESTABLISHED 6
#define KR_CALL_NOTICE 9

#define KR_BWT_DONE 2
#define KR_BWT_FAILED 3

/* ---- Property values ---------------------------------------------------- */

typedef enum KrVariantType {
    KrVtEmpty = 0,
    KrVtInteger = 1,  /* signed, pointer-sized range */
    KrVtUnsigned = 2, /* unsigned, pointer-sized range: window handles, addresses */
    KrVtByte = 3,
    KrVtBoolean = 4,
    KrVtString = 5, /* zero-terminated 8-bit text */
    KrVtArray = 6   /* one-dimensional array of variants */
} KrVariantType;

typedef struct KrVariant {
    int32_t Type;  /* KrVariantType */
    int32_t Count; /* number of elements of an array */
    union {
        int64_t Integer;
        uint64_t Unsigned;
        uint8_t Byte;
        int32_t Boolean; /* 0 false, anything else true */
        char* String;
        struct KrVariant* Array;
    } Value;
} KrVariant;

/* Strings and arrays inside a variant are always allocated by these
 * functions, whoever made the variant, so that the engine may replace a
 * value with its result and the client frees whatever it gets back with
 * KrVariantClear. */
KR_API void KrVariantInit(KrVariant* Value);
KR_API void KrVariantClear(KrVariant* Value);
KR_API int32_t KrVariantSetString(KrVariant* Value, const char* Text);
KR_API int32_t KrVariantSetArray(KrVariant* Value, int32_t Count); /* Count empty elements */
KR_API int32_t KrVariantCopy(KrVariant* Target, const KrVariant* Source);

/* KrProcess operations */
#define KR_OP_SET 0
#define KR_OP_GET 1
#define KR_OP_RUN 2
#define KR_OP_READ_SETTING 3  /* a missing setting leaves Value as it was */
#define KR_OP_WRITE_SETTING 4

/* ---- Callbacks ---------------------------------------------------------- */

/* The engine's procedure for a video panel. While the engine renders into a
 * panel, the panel passes its messages to it: KR_RENDER_PAINT with a
 * KrPaintTarget in LParam, KR_RENDER_SIZE and KR_RENDER_MOVE (also when the
 * window holding the panel moves). The render instance that belongs to the
 * panel is the panel window's user data for the duration of the call. */
typedef intptr_t (*KrRenderProc)(KrWindow Window, uint32_t Msg, intptr_t WParam, intptr_t LParam);

#define KR_RENDER_MOVE 0x0003
#define KR_RENDER_SIZE 0x0005
#define KR_RENDER_PAINT 0x000F

typedef struct KrPaintTarget {
    uint8_t* Bits;  /* 32-bit pixels, blue, green, red, unused; top row first */
    int32_t Width;
    int32_t Height;
    int32_t Stride; /* bytes per row */
} KrPaintTarget;

/* Called with the context given to KrSetTrackCallBack, on any thread, with
 * media track data: track 0 the own video as sent, track 1 the other side's
 * as received, each frame 320 x 240 pixels of 32 bits (blue, green, red,
 * unused), top row first; Id names the stream ("Sender", or the receiver). */
typedef int32_t (*KrTrackCallback)(void* Context, int32_t Track, int32_t Size, const void* Buffer,
                                   const char* Id);

/* ---- Blocks exchanged with the engine ----------------------------------- */

/* Five pointers to areas the client allocates. */
typedef struct KrProxyBlock {
    int32_t* ProxyType;
    char* Address; /* KR_PROXY_TEXT_SIZE bytes */
    uint16_t* Port;
    char* UserName; /* KR_PROXY_TEXT_SIZE bytes */
    char* Password; /* KR_PROXY_TEXT_SIZE bytes */
} KrProxyBlock;

/* ---- Functions ---------------------------------------------------------- */

/* Lifecycle */
KR_API int32_t KrInterfaceGetVersion(const char* AppName, const char* Version); /* KR_INTERFACE_VERSION */
/* Reserved, when given, is set to 0. */
KR_API KrInstance KrInitialize(int32_t* Reserved, KrWindow MessageWindow, const char* RegString);
KR_API void KrRelease(KrInstance Instance);

/* Property tree */
KR_API int32_t KrProcess(KrInstance Instance, int32_t Operation, const char* Path, KrVariant* Value);

/* Settings kept between runs */
KR_API int32_t KrGetSkinName(KrInstance Instance, char* Buffer);
KR_API int32_t KrSetSkinName(KrInstance Instance, const char* Name);
KR_API int32_t KrGetFlags(KrInstance Instance, uint8_t* Block);
KR_API int32_t KrSetFlags(KrInstance Instance, const uint8_t* Block);
KR_API int32_t KrGetHistory(KrInstance Instance, char* Block);
KR_API int32_t KrSetHistory(KrInstance Instance, const char* Block);

/* Devices and the sender. KrUpdateDeviceList returns flags: 0x1 no
 * microphones, 0x2 no cameras, 0x4 no playback devices. KrStartSender returns
 * flags: 0x1 the camera failed, 0x2 the microphone failed. */
KR_API uint8_t KrUpdateDeviceList(KrInstance Instance);
KR_API int32_t KrGetCurrentVideoCapture(KrInstance Instance, char* Buffer);
KR_API int32_t KrGetCurrentAudioCapture(KrInstance Instance, char* Buffer);
KR_API int32_t KrSetVideoCapture(KrInstance Instance, const char* Name);
KR_API int32_t KrSetAudioCapture(KrInstance Instance, const char* Name);
KR_API int32_t KrStartSender(KrInstance Instance, const char* AudioDevice, const char* VideoDevice,
                             KrWindow Panel, KrRenderProc* RenderProc, intptr_t* RenderInstance,
                             int32_t Width, int32_t Height, int32_t SampleRate);
KR_API int32_t KrStopSender(KrInstance Instance);
KR_API int32_t KrForceBicubic(KrInstance Instance, int32_t On);
KR_API int32_t KrSetSaturation(KrInstance Instance, int32_t Saturation);
KR_API int32_t KrConnectSender(KrInstance Instance, KrWindow MessageWindow, int32_t Multi);
KR_API int32_t KrDisconnectSender(KrInstance Instance);

/* Servers and login. KrGetServers fills at most Count entries (at most
 * KR_SERVER_ENTRIES) of both arrays, names and addresses, and returns the
 * number N filled: 0 to N-2 are the servers, N-1 the current one. KrGetMyName returns the
 * account flags (bits 0-3 kind, 0x10 valid, bits 5-11 rights).
 * KrGetAutologin returns 0 off, 1 on, anything else unsupported. */
KR_API int32_t KrSetServer(KrInstance Instance, const char* Name, const char* AddressOrFile,
                           const char* Port);
KR_API int32_t KrGetServers(KrInstance Instance, int32_t Count, char* Names, char* Addresses);
KR_API int32_t KrSetCurrentServer(KrInstance Instance, const char* Name);
KR_API int32_t KrGetDefaultServer(KrInstance Instance, char* Buffer);
KR_API int32_t KrLoginToServer(KrInstance Instance, const char* UserName, const char* Password,
                               int32_t AutoLogin);
KR_API int32_t KrLogoutServer(KrInstance Instance);
KR_API int32_t KrGetMyName(KrInstance Instance, char* Name, char* DisplayName, char* Third);
KR_API int32_t KrGetAutologin(KrInstance Instance);
KR_API int32_t KrSetAutologin(KrInstance Instance, int32_t On);

/* Calls and receivers */
KR_API int32_t KrAcceptProtocolConnect(KrInstance Instance);
KR_API int32_t KrRejectProtocolConnect(KrInstance Instance);
KR_API int32_t KrHangupProtocolConnect(KrInstance Instance, int32_t Reason);
KR_API int32_t KrGetOtherName(KrInstance Instance, char* Name, char* DisplayName, char* Third);
KR_API uint32_t KrGetReceiverState(KrInstance Instance, intptr_t Receiver, char* Name);
KR_API int32_t KrSetEchoMode(KrInstance Instance, int32_t Mode);
KR_API int32_t KrSetTrackCallBack(KrInstance Instance, KrTrackCallback Callback, void* Context);

/* Chat and peer commands; both buffers of KrGet*Message hold
 * KR_MESSAGE_BUFFER_SIZE bytes. */
KR_API int32_t KrSendMessage(KrInstance Instance, const char* Text, int32_t Reserved);
KR_API int32_t KrSendCommand(KrInstance Instance, const char* Command, const char* UserName);
KR_API int32_t KrGetChatMessage(KrInstance Instance, intptr_t Message, char* UserName, char* Text);
KR_API int32_t KrGetCommandMessage(KrInstance Instance, intptr_t Message, char* UserName,
                                   char* Command);

/* User lists: *List points to pointer-sized slots owned by the engine, five
 * per user (user name, display name, a text, an integer, a text), ended by a
 * group whose first slot (the user name) is null; a null in any other text
 * slot is an empty text. Valid until the next call. */
KR_API int32_t KrGetLoggedUsersList(KrInstance Instance, const intptr_t** List, int32_t Kind);
/* Address book requests; returns the request number. */
KR_API int32_t KrAddressBook(KrInstance Instance, int32_t Operation, const char* Text, int32_t Param);
KR_API int32_t KrReadUserInfo(KrInstance Instance, const char* UserName, char** Fields);
KR_API int32_t KrGetProperty(KrInstance Instance, const char* Name, char* Buffer);
KR_API int32_t KrGetTraffic(KrInstance Instance, int32_t* Sent, int32_t* Received);

/* Network options (no instance) */
/* Sets the connection mode *Mode and answers the mode in effect in place;
 * -1 only reads it. A proxy type of -1 in the block means none. */
KR_API int32_t KrSetProxyNetMode(int32_t* Mode);
KR_API int32_t KrSetProxySet(const KrProxyBlock* Block);
KR_API int32_t KrGetProxySet(KrProxyBlock* Block);
KR_API int32_t KrSetProxyDialog(KrWindow Window);
KR_API int32_t KrProxyDialogEnd(int32_t Result);
KR_API int32_t KrSetNetType(int32_t NetType); /* -1 reads; returns the net type */
/* Mode 0 reads the current port and 1 the default port into *Port; 2 sets
 * *Port; 3 goes back to the default given in *Port. */
KR_API int32_t KrSetManualPort(uint16_t* Port, int32_t Mode);
KR_API int32_t KrSetDisableDirect(KrInstance Instance, int32_t Disable);
KR_API int32_t KrSetJitter(KrInstance Instance, int32_t On);

/* Bandwidth test */
KR_API int32_t KrBwtStart(KrInstance Instance, KrWindow Window);
KR_API int32_t KrBwtStop(KrInstance Instance);
KR_API int32_t KrBwtGet(KrInstance Instance, void* Result, intptr_t Param);
KR_API int32_t KrBwtWizardOn(KrInstance Instance, int32_t On);

#ifdef __cplusplus
}
#endif

#endif /* ORVANTA_H */
