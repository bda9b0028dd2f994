#pragma once

#include "OrvantaFake.h"
#include "TestSupport.h"
#include "engine/KrClient.h"
#include "platform/Messages.h"

#include <QCoreApplication>
#include <QStringList>
#include <memory>

// A TKrCore on the fake engine, with the window that takes the engine's
// messages, and a log of every event the component raises, one text per
// event: "mode 3", "break 0", "warning 9", "incoming 1 0", "message 0 text
// user", "command text user", "detail uid", "picture uid", "multi",
// "receiver name flags", "removed name", "list kind n", "book result id".
class TKrCoreFixture
{
public:
    TKrCoreFixture()
        : Window([this](TMessage& Message) {
              if (Message.Msg == KR_WM_STATUS)
                  Core->HandleEngineMessage(Message);
              else if (Message.Msg == KR_WM_CALL)
                  Core->HandleCallMessage(Message);
          })
    {
        TOrvantaFake::Reset();
        Core = std::make_unique<TKrCore>();
        Core->SetMessageObject(&Window);
        Core->AppName = QStringLiteral("Tavrilo");
        Core->RegString = QStringLiteral("Orvanta\\Tavrilo");
        HookEvents();
    }
    ~TKrCoreFixture() { TOrvantaFake::Reset(); }

    // Initialize as the main window does, then forget the calls it made.
    void Start()
    {
        Core->Initialize(QString(), QString(), QString(), QString());
        TOrvantaFake::Reset();
    }

    // Posts a raw engine message to the window and delivers it.
    void PostStatus(quint32 StatusWord, LPARAM Param = 0) { Post(KR_WM_STATUS, StatusWord, Param); }
    void PostCall(WPARAM Code, LPARAM Param = 0) { Post(KR_WM_CALL, Code, Param); }
    void Post(quint32 Msg, WPARAM WParam, LPARAM LParam)
    {
        PostMessage(Window.Handle(), Msg, WParam, LParam);
        QCoreApplication::sendPostedEvents(&Window);
    }

    // Connected and logged in with a communicator account: mode 2.
    static constexpr quint32 Online = KR_STATUS_CONNECTED | KR_STATUS_LOGGED_IN;
    void LogIn(int AccountFlags = 0x11)
    {
        TOrvantaFake::SetResult("KrGetMyName", AccountFlags);
        TOrvantaFake::SetTexts("KrGetMyName", {"alice@demo", "Alice", ""});
        PostStatus(Online);
        Events.clear();
    }

    // Takes the log.
    QStringList TakeEvents() { return std::exchange(Events, {}); }

    TTestPlatformRoot Root;
    TMessageTarget Window;
    std::unique_ptr<TKrCore> Core;
    QStringList Events;

private:
    void HookEvents()
    {
        Core->OnModeChange = [this](TKrCore*, int Code) {
            Events << QStringLiteral("mode %1").arg(Code);
        };
        Core->OnCallBreak = [this](TKrCore*, int Reason) {
            Events << QStringLiteral("break %1").arg(Reason);
        };
        Core->OnWarning = [this](TKrCore*, int Warning) {
            Events << QStringLiteral("warning %1").arg(Warning);
        };
        Core->OnIncommingQuery = [this](TKrCore*, bool Start, int Type) {
            Events << QStringLiteral("incoming %1 %2").arg(int(Start)).arg(Type);
        };
        Core->OnMessage = [this](TKrCore*, bool System, const QString& Text, const QString& User) {
            Events << QStringLiteral("message %1 %2 %3").arg(int(System)).arg(Text, User);
        };
        Core->OnCommand = [this](TKrCore*, const QString& Text, const QString& User) {
            Events << QStringLiteral("command %1 %2").arg(Text, User);
        };
        Core->OnUserDetail = [this](TKrCore*, const QString& Uid) {
            Events << QStringLiteral("detail ") + Uid;
        };
        Core->OnUserPicture = [this](TKrCore*, const QString& Uid) {
            Events << QStringLiteral("picture ") + Uid;
        };
        Core->OnMultiConnect = [this](TKrCore*) -> IVideoPanel* {
            Events << QStringLiteral("multi");
            return nullptr;
        };
        Core->OnReceiverChange = [this](TKrCore*, const QString& Name, quint32 Flags) {
            Events << QStringLiteral("receiver %1 %2").arg(Name).arg(Flags);
        };
        Core->OnReceiverRemove = [this](TKrCore*, const QString& Name) {
            Events << QStringLiteral("removed ") + Name;
        };
        Core->OnListArrival = [this](TKrCore*, int Kind, const QStringList& List) {
            Events << QStringLiteral("list %1 %2").arg(Kind).arg(List.size());
            LastList = List;
        };
        Core->OnBookResult = [this](TKrCore*, int Result, int Request) {
            Events << QStringLiteral("book %1 %2").arg(Result).arg(Request);
        };
    }

public:
    QStringList LastList;
};

// A video panel that records what the component does to it.
class TFakePanel : public IVideoPanel
{
public:
    explicit TFakePanel(HWND Handle = 0x7001) : FHandle(Handle) {}
    HWND WindowHandle() const override { return FHandle; }
    void SetRenderProc(KrRenderProc Proc, intptr_t Instance) override
    {
        FProc = Proc;
        FInstance = Instance;
        Log << QStringLiteral("proc");
    }
    void StartRender() override { Log << QStringLiteral("start"); }
    void StopRender() override { Log << QStringLiteral("stop"); }
    KrRenderProc RenderProc() const override { return FProc; }
    intptr_t RenderInstance() const override { return FInstance; }

    QStringList Log;

private:
    HWND FHandle;
    KrRenderProc FProc = nullptr;
    intptr_t FInstance = 0;
};
