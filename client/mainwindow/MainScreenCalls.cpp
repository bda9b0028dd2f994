// Placing and ending calls from the main window, logging in and out, the
// media controls, the self view and scripted call requests.
#include "MainScreen.h"

#include "contacts/History.h"
#include "contacts/HotList.h"
#include "setup/Login.h"
#include "setup/WizardsInfo.h"
#include "ui/WavePlay.h"
#include "video/SelfViewUnit.h"
#include "video/VideoPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

// ---- Calling box --------------------------------------------------------------------

bool TMainForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if ((Watched == CallingID || Watched == CallingID->lineEdit()) &&
        Event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        CallingIDKeyDown(key);
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TMainForm::CallingIDChange()
{
    const QString text = CallingID->currentText();
    QString joined = text;
    joined.remove(QStringLiteral("\r\n"));
    if (joined != text)
        CallingID->setEditText(joined);
}

void TMainForm::CallingIDKeyDown(int Key)
{
    ClearCallingHint();
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        FTargetMulticasting = false;
        ActionConnect->trigger();
    }
}

void TMainForm::ClearCallingHint()
{
    if (!FShowsHint)
        return;
    FShowsHint = false;
    if (CallingID->currentText() == LoadLocalizedString(54877))
        CallingID->setEditText(QString());
}

void TMainForm::AddToCallHistory()
{
    const QString text = CallingID->currentText();
    CallingID->setCurrentIndex(-1);
    CallingID->setEditText(text);
    if (text.isEmpty())
        return;
    int found = -1;
    for (int i = 0; i < CallingID->count(); ++i)
        if (CallingID->itemText(i).compare(text, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    if (found >= 0)
        CallingID->removeItem(found);
    else if (CallingID->count() >= 10)
        CallingID->removeItem(9);
    CallingID->insertItem(0, text);
    CallingID->setCurrentIndex(-1);
    CallingID->setEditText(text);
}

// ---- Calls ------------------------------------------------------------------------------

void TMainForm::ActionConnectExecute()
{
    ClearCallingHint();
    const QString address = CallingID->currentText();
    if (!address.contains(QLatin1Char('@')) && !address.contains(QLatin1Char('#'))) {
        IncCallMessage.MessageDlg(LoadLocalizedString(54916), mtWarning, mbOK);
        return;
    }
    if (address == KrCore->MyName())
        return;
    AddToCallHistory();
    const TConferenceType type = FTargetMulticasting ? ctPublic : ctPrivate;
    FCallTarget = address;
    KrCore->PlaceCall(address, QString(), type);
    FTargetMulticasting = false;
}

void TMainForm::ActionDisconnectExecute()
{
    const int mode = KrCore->StatusMode();
    if (mode == 3 || mode == 4) {
        KrCore->HangUp();
        StopAllSounds();
    }
    if (FBusySignal)
        StopBusySignal();
}

void TMainForm::WaitTimerTimer()
{
    WaitTimer->stop();
    if (KrCore->StatusMode() == 3)
        ActionDisconnect->trigger();
}

void TMainForm::CallFromList(int ImageIndex, const QString& Address, const QString&)
{
    if (KrCore->StatusMode() != 2 || IncomingDialogOpen())
        return;
    FShowsHint = false;
    CallingID->setEditText(Address);
    FTargetMulticasting = ImageIndex == 3;
    ActionConnect->trigger();
}

void TMainForm::UserListDblClick(const QString& Address, const QString& Conference, int Status,
                                 int StateImage)
{
    if (Address.isEmpty() || IncomingDialogOpen() || KrCore->StatusMode() != 2)
        return;
    if (FBusySignal)
        StopBusySignal();
    if (Status == 5 && Conference != KrCore->MyName()) {
        FCallTarget = Conference;
        KrCore->PlaceCall(Conference, QString(), ctHotQuery);
        return;
    }
    FShowsHint = false;
    CallingID->setEditText(Address);
    FTargetMulticasting = StateImage == 4;
    ActionConnect->trigger();
}

void TMainForm::UserListClick(QWidget* Sender, const QStringList& SelectedAddresses)
{
    if (KrCore->StatusMode() != 2 || !Sender || (Sender != HotListForm && Sender != HistoryForm) ||
        SelectedAddresses.isEmpty())
        return;
    FShowsHint = false;
    CallingID->setEditText(SelectedAddresses.last());
}

void TMainForm::StopAllSounds()
{
    // There is one sound at a time: stopping any player silences it.
    WaitWave->Stop();
}

void TMainForm::StopBusySignal()
{
    BusyTimer->stop();
    FBusySignal = false;
    StopAllSounds();
    UpdateControls();
}

// ---- Login and logout -------------------------------------------------------------------

void TMainForm::ActionLoginExecute()
{
    // Activation may complete only later; the login goes on either way.
    if (isVisible())
        activateWindow();
    const int mode = KrCore->StatusMode();
    if (mode <= 1) {
        FLoginBusy = true;
        UpdateControls();
        for (;;) {
            const int result = RunLoginDialog(this, *KrCore, FLoginName);
            if (result == mrAbort)
                IncCallMessage.MessageDlg(LoadLocalizedString(54887), mtWarning, mbOK);
            else if (result == mrIgnore)
                IncCallMessage.MessageDlg(LoadLocalizedString(54886), mtWarning, mbOK);
            else
                break;
        }
        FLoginBusy = false;
        UpdateControls();
        return;
    }
    FLoginBusy = true;
    UpdateControls();
    const int answer = ConfirmAction(LoadLocalizedString(54917), QStringLiteral("AskConfirmation"));
    FLoginBusy = false;
    UpdateControls();
    if (answer != mrYes)
        return;
    const int now = KrCore->StatusMode();
    if (now == 3 || now == 4) {
        KrCore->HangUp();
        StopAllSounds();
    }
    KrCore->Logout();
}

// ---- Media controls -----------------------------------------------------------------------

void TMainForm::ActionSendVideoExecute()
{
    ActionSendVideo->setIcon(FButtonImages.value(ActionSendVideo->isChecked() ? 2 : 3));
    KrCore->SetSendVideo(ActionSendVideo->isChecked());
}

void TMainForm::ActionSendAudioExecute()
{
    ActionSendAudio->setIcon(FButtonImages.value(ActionSendAudio->isChecked() ? 4 : 5));
    KrCore->SetSendAudio(ActionSendAudio->isChecked());
}

void TMainForm::ActionPlayAudioExecute()
{
    if (ActionPlayAudio->isChecked()) {
        ActionPlayAudio->setIcon(FButtonImages.value(0));
        VolumeBarChange();
    } else {
        ActionPlayAudio->setIcon(FButtonImages.value(1));
        KrCore->SetPlayVolume(0);
    }
}

void TMainForm::VolumeBarChange()
{
    KrCore->SetPlayVolume(VolumeBar->value());
    if (!ActionPlayAudio->isChecked())
        ActionPlayAudio->trigger();
}

void TMainForm::RecBarChange()
{
    KrCore->SetRecVolume(RecBar->value());
}

void TMainForm::SaturationBarChange()
{
    KrCore->SetSaturation(SaturationBar->value());
}

// ---- Self view ---------------------------------------------------------------------------

void TMainForm::ActionPipExecute()
{
    UpdateControls();
}

void TMainForm::UpdateSelfViewState()
{
    const int camera = KrCore->CurrentVideoCapture();
    const bool allowed = ActionPip->isEnabled() && KrCore->StatusMode() == 4 && camera > 0 &&
                         camera < KrCore->VideoCaptureDevices().size();
    SelfViewItem->setEnabled(allowed);
    SelfViewItem->setChecked(ActionPip->isChecked());
    if (FSelfView)
        FSelfView->setVisible(allowed && ActionPip->isChecked());
}

void TMainForm::ShowSelfView(bool On)
{
    if (On) {
        if (!FSelfView) {
            FSelfView = new TSelfMainForm(this);
            FSelfView->OnClosed = [this] {
                ActionPip->setChecked(false);
                UpdateSelfViewState();
            };
        }
        FSelfView->show();
    } else if (FSelfView) {
        FSelfView->SelfVideoPanel->StopRender();
        FSelfView->hide();
    }
    UpdateSelfViewState();
}

// ---- Scripted requests ----------------------------------------------------------------------

void TCallProcess::Start(const QString& Server, const QString& Host, const QString& Port,
                         const QString& ServerFile, const QString& UserID, const QString& Login,
                         const QString& Password, const QString& CallTo,
                         const QString& CallPassword, int ConfType, bool Activate)
{
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != FOwner) {
        modal->raise();
        modal->activateWindow();
        return;
    }
    Drop();
    FStartTick = TMainForm::TickCount();
    FServer = Server;
    FHost = Host;
    FPort = Port;
    FServerFile = ServerFile;
    FUserID = UserID;
    FLogin = Login;
    FPassword = Password;
    FCallTo = CallTo;
    FCallPassword = CallPassword;
    FConfType = quint8(qBound(0, ConfType, 255));
    if (Activate)
        FOwner->RestoreFromTray();
    Step();
}

void TCallProcess::Drop()
{
    FStartTick = -1;
    FServer.clear();
    FHost.clear();
    FPort.clear();
    FServerFile.clear();
    FUserID.clear();
    FLogin.clear();
    FPassword.clear();
    FCallTo.clear();
    FCallPassword.clear();
    FConfType = 0;
}

void TCallProcess::Step()
{
    if (FStartTick == -1)
        return;
    if (quint32(TMainForm::TickCount() - quint32(FStartTick)) > LifetimeMs) {
        Drop();
        return;
    }
    FOwner->CloseMissedNotice();
    TKrCore& core = *FOwner->KrCore;
    const int mode = core.StatusMode();

    if (!FServer.isEmpty()) {
        const QString server = FServer;
        FServer.clear();
        const QString key = server.left(4);
        const QStringList servers = core.ServerList();
        const QString current = servers.value(core.CurrentServer()).left(4);
        if (key != current) {
            core.LoadServers(server, FHost, FPort, FServerFile);
            int index = -1;
            const QStringList loaded = core.ServerList();
            for (int i = 0; i < loaded.size(); ++i)
                if (loaded.at(i).left(4) == key) {
                    index = i;
                    break;
                }
            if (index < 0) {
                Drop();
                return;
            }
            core.SetCurrentServer(index);
            FOwner->ServerChanged();
            return;
        }
        if (mode == 0) {
            core.LoadServers(server, FHost, FPort, FServerFile);
            return;
        }
    }

    if (!FLogin.isEmpty()) {
        if (mode == 0)
            return;
        if (mode == 1) {
            const QString login = FLogin;
            FLogin.clear();
            if (FOwner->ActionLogin->isEnabled()) {
                core.Logout();
                core.Login(login, FPassword, false);
            } else {
                FCallTo.clear();
            }
            return;
        }
        if (!FUserID.isEmpty() && FUserID != core.MyName()) {
            core.Logout();
            return;
        }
        FLogin.clear();
    }

    if (!FCallTo.isEmpty()) {
        if (mode == 0 || mode == 1)
            return;
        if (mode == 3 || mode == 4) {
            core.HangUp();
            return;
        }
        const QString target = FCallTo;
        FCallTo.clear();
        if (!FOwner->ActionConnect->isEnabled())
            return;
        if (FOwner->FBusySignal)
            FOwner->StopBusySignal();
        FOwner->FCallTarget = target;
        switch (FConfType) {
        case 0:
        case 7:
        case 8:
        case 9:
        case 10:
            FOwner->ActionConfPrivate->trigger();
            break;
        case 3:
        case 11:
        case 12:
            FOwner->ActionConfMulti->trigger();
            break;
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
            FOwner->ActionConfCast->trigger();
            break;
        default: // no such conference type: nothing to place
            break;
        }
        if (FConfType <= ctHotQuery)
            core.PlaceCall(target, FCallPassword, TConferenceType(FConfType));
    }
}
