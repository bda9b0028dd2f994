#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

// Window handles and window messages.
//
// A window (or any object that takes messages) registers a TMessageTarget and
// hands out its opaque handle. Messages posted to a handle from any thread are
// delivered on the target's thread, in posting order; a sent message is
// handled before SendMessage returns. Handles are never reused, so a message
// to a handle whose target is gone is simply dropped.

using HWND = std::intptr_t;
using WPARAM = std::intptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

constexpr std::uint32_t WM_USER = 0x0400;

struct TMessage
{
    std::uint32_t Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

using TMessageHandler = std::function<void(TMessage&)>;

class TMessageTarget : public QObject
{
    Q_OBJECT
public:
    explicit TMessageTarget(TMessageHandler Handler, QObject* Parent = nullptr);
    ~TMessageTarget() override;

    HWND Handle() const { return FHandle; }

    // Runs the handler for one message on the calling thread.
    void Dispatch(TMessage& Message);

protected:
    bool event(QEvent* Event) override;

private:
    HWND FHandle;
    TMessageHandler FHandler;
};

// Queues the message for the target's thread. False when no target has the handle.
bool PostMessage(HWND Window, std::uint32_t Msg, WPARAM WParam, LPARAM LParam);

// Handles the message before returning (across threads the caller blocks until
// the target's thread has run it) and returns its Result; 0 when no target has
// the handle.
LRESULT SendMessage(HWND Window, std::uint32_t Msg, WPARAM WParam, LPARAM LParam);

// True while a target with this handle exists.
bool IsWindow(HWND Window);

// A value kept with a window for whoever handles its messages; 0 until set.
// Setting returns the previous value. An unknown handle reads 0 and keeps nothing.
std::intptr_t GetWindowUserData(HWND Window);
std::intptr_t SetWindowUserData(HWND Window, std::intptr_t Value);
