#pragma once

#include "OrvantaFake.h"
#include "mainwindow/MainScreen.h"
#include "startup/StartupValues.h"
#include "tools/DemoProfile.h"
#include "ui/MessageDlg.h"

#include <QCoreApplication>
#include <QTest>

// The main window on the fake engine: a machine with a camera whose first
// run is over, an engine that accepts calls, and message boxes answered by
// script (Yes where there is one, else OK).
namespace MainFormFixture {

constexpr quint32 Connected = KR_STATUS_CONNECTED;
constexpr quint32 Online = KR_STATUS_CONNECTED | KR_STATUS_LOGGED_IN;
constexpr int CommunicatorAccount = 0x11; // account flags as the engine gives them
constexpr int ModifyBookRight = 0x200;

// Call before the window is made (after TOrvantaFake::Reset and with a fresh
// platform root).
inline void PrepareEngine()
{
    TOrvantaFake::SetProcess(KR_OP_GET, "Sender\\VideoCapture\\Cameras", 0,
                             QVariantList{QByteArray("Camera")});
    TOrvantaFake::SetTexts("KrGetCurrentVideoCapture", {"Camera"});
    TOrvantaFake::SetProcess(KR_OP_RUN, "Protocol\\Call", 0);
    StartupValues = {};
    TDemoProfile::MarkFirstRunDone();
    TKrMessageDlg::ClearShownMessages();
    TKrMessageDlg::InstallScript([](const TShownMessage& Message) {
        return Message.Buttons & mbYes ? int(mrYes) : int(mrOk);
    });
}

// Posts an engine message to the window and delivers it.
inline void Post(TMainForm& Form, quint32 Msg, WPARAM WParam, LPARAM LParam = 0)
{
    PostMessage(Form.KrCore->MessageObject()->Handle(), Msg, WParam, LParam);
    QCoreApplication::sendPostedEvents();
}

// Connected and logged in (mode 2) as Name with the given account flags.
inline void LogIn(TMainForm& Form, const QByteArray& Name = "alice@demo.pellory",
                  int Flags = CommunicatorAccount)
{
    TOrvantaFake::SetResult("KrGetMyName", Flags);
    TOrvantaFake::SetTexts("KrGetMyName", {Name, "Alice", ""});
    Post(Form, KR_WM_STATUS, Connected);
    Post(Form, KR_WM_STATUS, Online);
    QCOMPARE(Form.StatusMode(), 2);
}

} // namespace MainFormFixture
