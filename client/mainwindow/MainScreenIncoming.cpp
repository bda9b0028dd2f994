// Calls and invitations that come in, and the notice of the ones missed.
#include "MainScreen.h"

#include "FormIncomming.h"
#include "Missed.h"
#include "contacts/History.h"
#include "setup/NetTest.h"
#include "ui/SysTray.h"
#include "ui/WavePlay.h"

bool TMainForm::IncomingDialogOpen() const
{
    return FIncomingStarter && FIncomingStarter->Showing();
}

TMissedForm* TMainForm::MissedForm() const
{
    return FMissedForm;
}

void TMainForm::KrCoreIncommingQuery(TKrCore*, bool Start, TInviteType InviteType)
{
    if (!Start) {
        if (FIncomingPending) { // a plain call went unanswered
            if (FHiddenToTray && Tray->PopupMenu())
                RestoreFromTray();
            if (KrCore->StatusMode() > 1) {
                ++FMissedCount;
                if (!FMissedFirstTime.isValid())
                    FMissedFirstTime = FLastQueryTime;
                PostMessage(FWindow->Handle(), WM_MISSED_CALLS, 0, 0);
            }
        }
        FIncomingPending = false;
        FIncomingStarter->Dismiss();
        StopAllSounds();
        UpdateControls();
        return;
    }

    KrCore->RaiseOverScreenSaver();
    FInviteKind = quint8(InviteType);
    FCallTarget = KrCore->GetPeerName();
    if (FBusySignal)
        StopBusySignal();

    const bool busyElsewhere = FHardwareOpen || (NetTestForm && NetTestForm->isVisible()) ||
                               FPreferencesOpen || FNetworkOpen;
    if (busyElsewhere || KrCore->StatusMode() != 2) {
        KrCore->RejectCall();
        UpdateControls();
        return;
    }
    raise();

    TKrValue autoAnswer;
    KrCore->ReadSetting(QStringLiteral("AutoResponce"), false, autoAnswer);
    if (autoAnswer.AsBoolean() && InviteType == 0) {
        if (FHiddenToTray)
            RestoreFromTray();
        KrCore->AcceptCall(false);
        UpdateControls();
        return;
    }

    FIncomingStarter->Dismiss();
    FIncomingPending = InviteType == 0;
    WaitWave->SetActive(false);
    BusyWave->SetActive(false);
    RingWave->SetActive(true);
    static constexpr int Prompts[] = {54874, 54875, 54876};
    const QString prompt = LoadLocalizedString(Prompts[qBound(0, InviteType, 2)]);
    const QString callerLine = KrCore->GetPeerDisplayName() + QStringLiteral(" ?");
    FLastQueryTime = QDateTime::currentDateTime();
    CloseMissedNotice();
    UpdateControls();
    FIncomingStarter->Show(prompt, callerLine);
    UpdateControls();
}

void TMainForm::YesButtonClick()
{
    FIncomingPending = false;
    if (KrCore->StatusMode() == 2) {
        UpdateControls();
        (FInviteKind == 1 ? ActionConfMulti : ActionConfPrivate)->trigger();
        KrCore->AcceptCall(FInviteKind == 1);
        if (FHiddenToTray)
            RestoreFromTray();
    }
    StopAllSounds();
    UpdateControls();
}

void TMainForm::NoButtonClick()
{
    FIncomingPending = false;
    KrCore->RejectCall();
    StopAllSounds();
}

void TMainForm::CloseMissedNotice()
{
    if (FMissedForm && FMissedForm->isVisible())
        FMissedForm->CloseNotice();
}

void TMainForm::ShowMissedCalls()
{
    if (KrCore->StatusMode() < 2)
        return;
    if (FMissedForm) {
        FMissedForm->SetCount(FMissedCount);
        return;
    }
    FMissedForm = new TMissedForm(this);
    FMissedForm->SetCount(FMissedCount);
    FMissedForm->exec();
    if (FMissedForm) {
        switch (FMissedForm->Result()) {
        case TMissedForm::mfOk:
            FMissedCount = 0;
            FMissedSince = FMissedFirstTime;
            FMissedFirstTime = QDateTime();
            if (HistoryForm && HistoryForm->isVisible())
                HistoryForm->update();
            else
                ActionHistory->trigger();
            break;
        case TMissedForm::mfCancel:
            FMissedCount = 0;
            FMissedFirstTime = QDateTime();
            FMissedSince = QDateTime::currentDateTime();
            break;
        case TMissedForm::mfNone:
            break;
        }
    }
    delete FMissedForm;
}
