// How the main window follows the session: mode changes, the controls that
// go with each mode, the conference's set-up and tear-down and its timers.
#include "MainScreen.h"
#include "MainScreenParts.h"

#include "Missed.h"
#include "chat/chat.h"
#include "contacts/AddressBook.h"
#include "contacts/DirectorySearch.h"
#include "contacts/History.h"
#include "contacts/HotList.h"
#include "setup/Login.h"
#include "setup/WizardsInfo.h"
#include "startup/StartupValues.h"
#include "ui/WavePlay.h"
#include "video/FrameOffline.h"
#include "video/SelfPanel.h"
#include "video/SelfViewUnit.h"
#include "video/VideoPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

void TMainForm::KrStatusModeChange(TKrCore*, TKrTransition CMC)
{
    if (OnServerStatusHook)
        OnServerStatusHook(CMC);
    if (OnClientStatusHook)
        OnClientStatusHook(CMC);

    switch (CMC) {
    case 0:
        IncCallMessage.MessageDlg(QStringLiteral("ModeError"), mtError, mbOK,
                                  QString::number(KrCore->StatusMode()));
        break;
    case 1: // connected
        RefreshLoginDialog();
        delete FOfflineFrame;
        SetTray(4, LoadLocalizedString(54934));
        SetStatusPanel0(LoadLocalizedString(54934), 0);
        if (StartupValues.StartHidden && !StartupValues.AutomationStart) {
            StartupValues.StartHidden = false;
            StartDelayedLogin();
        }
        break;
    case 2: // connection lost
        RefreshLoginDialog();
        SetTray(6, LoadLocalizedString(54933));
        SetStatusPanel0(LoadLocalizedString(54933), 0);
        HideSideLists();
        GetMoreItem->setEnabled(false);
        GetMoreLItem->setEnabled(false);
        break;
    case 3: // logged in
        FMissedSince = QDateTime::currentDateTime();
        if (FInfoForm && FInfoForm->isVisible() && FInfoForm->PageIndex == 2)
            FInfoForm->reject();
        RefreshLoginDialog();
        KrCore->WriteSetting(QStringLiteral("Lastlogin"), TKrValue::Text(FLoginName));
        KrBooks->ClearAll();
        FShowsHint = true;
        CallingID->setEditText(LoadLocalizedString(54877));
        SetStatusPanel0(FormatText(LoadLocalizedString(54870), {KrCore->MyDisplayName()}), 1);
        SetTray(5, LoadLocalizedString(54931));
        if (HotListForm) {
            HotListForm->SeSkinButton3->setEnabled(KrCore->Rights().count(arModifyAB) != 0);
            HotListForm->ClearSelection();
            HotListForm->SeSkinButton5Click(nullptr); // the online friends
        }
        if (!FHiddenToTray && !(HotListForm && HotListForm->isVisible())) {
            if (isVisible()) {
                activateWindow();
                if (QApplication::activeWindow() == this || QApplication::activeWindow() == nullptr)
                    ActionBook->trigger();
            }
        }
        break;
    case 4: // logged out
        FLoginBusy = false;
        RefreshLoginDialog();
        if (FBusySignal)
            StopBusySignal();
        if (FMissedForm) {
            if (FMissedForm->isVisible())
                FMissedForm->CloseNotice();
            else
                delete FMissedForm;
        }
        FMissedCount = 0;
        FConferenceName.clear();
        if (HotListForm) {
            HotListForm->SeSkinButton3->setEnabled(false);
            HotListForm->UserList->clear();
        }
        KrBooks->ClearAll();
        SetStatusPanel0(LoadLocalizedString(54934), 0);
        SetTray(4, LoadLocalizedString(54934));
        break;
    case 5: // calling
        RingWave->SetActive(false);
        BusyWave->SetActive(false);
        WaitWave->SetActive(true);
        if (!WaitTimer->isActive())
            WaitTimer->start();
        break;
    case 7:
        ConferenceStarted();
        break;
    case 8:
        ConferenceStopped();
        break;
    case 9: // back to idle
        if (FMissedCount != 0)
            PostMessage(FWindow->Handle(), WM_MISSED_CALLS, 0, 0);
        break;
    default:
        break;
    }
    UpdateControls();
    if (FCallProcess)
        FCallProcess->Step();
}

void TMainForm::StartDelayedLogin()
{
    if (FLoginTimer)
        return;
    FLoginTimer = new QTimer(this);
    FLoginTimer->setSingleShot(true);
    connect(FLoginTimer, &QTimer::timeout, this, [this] {
        FLoginTimer->deleteLater();
        if (KrCore->StatusMode() == 1)
            ActionLogin->trigger();
    });
    FLoginTimer->start(5000);
}

void TMainForm::HandleCallMessage(TMessage& Message)
{
    if (KrCore->Closing())
        return;
    const bool forMultiParty =
        Message.WParam == KR_CALL_NOTICE || (Message.WParam == KR_CALL_PEER_LEFT && Message.LParam);
    if (!forMultiParty)
        KrCore->HandleCallMessage(Message);
    FShowsHint = false;
    CallingID->setEditText(KrCore->GetPeerName());
    CloseMissedNotice();
}

void TMainForm::ConferenceStarted()
{
    StopAllSounds();
    ShowSelfView(true);
    const TConferenceType type = KrCore->ConferenceType();
    SetStatusPanel0(StatusBarText(0), type == ctBroadcast ? 4 : KrCore->IsOwner() ? 5 : 2);
    if (KrCore->Pause())
        KrCore->SetPause(false);
    SetTray(7, LoadLocalizedString(54932));
    FCallStartTick = TickCount();
    CallTimer->start();
    if (ChatForm)
        ChatForm->SetInputEnabled(true);
    UpdateControls();

    if (type != ctPublic) {
        bool audioOn = false;
        bool videoOn = false;
        KrCore->ConnectSender(audioOn, videoOn);
        ActionSendVideo->setEnabled(videoOn);
        ActionSendAudio->setEnabled(audioOn);
    }
    if (FSelfView) {
        KrCore->ResetVideoWindow(FSelfView->SelfVideoPanel, MainVideoPanel, true);
        if (CameraSelected())
            FSelfView->SelfVideoPanel->StartRender();
    }
    if (!KrCore->ConnectReceiver(MainVideoPanel))
        MainVideoPanel->StartRender();

    UpdateSelfViewState();
    SetConferencePanelWidths(true);
    StatTimer->start();
    QualityTimer->start();
}

void TMainForm::ConferenceStopped()
{
    StatTimer->stop();
    SetConferencePanelWidths(false);
    QualityTimer->stop();
    SetTray(5, LoadLocalizedString(54931));
    StatusBarPanels[0]->SetImage(1, FStatusImages);
    RecLevelBar->setValue(0);
    CallTimer->stop();
    if (ChatForm)
        ChatForm->SetInputEnabled(false);

    KrCore->DisconnectSender();
    RecordIndicator->hide();
    KrCore->DisconnectReceiver();
    if (FSelfView)
        KrCore->ResetVideoWindow(MainVideoPanel, FSelfView->SelfVideoPanel, true);
    if (CameraSelected())
        MainVideoPanel->StartRender();
    else
        MainVideoPanel->update();
    ShowQualityImage(5);
    ShowSelfView(false);
}

void TMainForm::UpdateControls()
{
    if (MainWindowClosing)
        return;
    const int m = KrCore->StatusMode();
    const TConferenceType t = KrCore->ConferenceType();
    const bool camera = CameraSelected();
    const auto selected = [](int Index, const QStringList& Devices) {
        return Index > 0 && Index < Devices.size();
    };

    if (m == 3) {
        QString name = FCallTarget;
        TUserInfoRecord info;
        if (KrCore->ReadUserInfo(FCallTarget, info) && !info.Nick.isEmpty())
            name = info.Nick;
        StatusLabel->setText(KrCore->HandShakeSuccess()
                                 ? FormatText(LoadLocalizedString(54938), {name})
                                 : LoadLocalizedString(54939) + name);
    } else if (m == 0) {
        StatusLabel->setText(LoadLocalizedString(54940));
    }

    const bool viewerType =
        t == ctPublic || t == ctFreeJoin || t == ctVIPJoin || t == ctHalfPrivateJoin;
    ActionPip->setEnabled(camera && !(m == 4 && t != ctPrivate));
    UpdateSelfViewState();
    ActionSendVideo->setEnabled(camera && (m != 4 || !viewerType));
    ActionPhoto->setEnabled(camera || m == 4);
    KrCore->SetSendVideo(ActionSendVideo->isChecked() && ActionSendVideo->isEnabled());
    ActionSendAudio->setEnabled(
        selected(KrCore->CurrentAudioCapture(), KrCore->AudioCaptureDevices()) &&
        (m != 4 || !viewerType));
    KrCore->SetSendAudio(ActionSendAudio->isChecked() && ActionSendAudio->isEnabled());
    ActionPlayAudio->setEnabled(
        selected(KrCore->CurrentAudioRender(), KrCore->AudioRenderDevices()));
    ActionLogin->setEnabled((m == 1 || m == 2) && !KrCore->LoginPending() && !FLoginBusy);
    if (ActionLogin->isEnabled() && HotListForm)
        HotListForm->ClearSelection();
    ActionLogin->setText(LoadLocalizedString(m > 1 ? 54871 : 55306));
    const bool statusPanel = m == 3 || m == 4 || FBusySignal || m == 0;
    ActionStatusPanel->setVisible(statusPanel);
    StatusPanel->setVisible(statusPanel);
    CallingID->setVisible(!statusPanel);
    SeSkinLabel1->setVisible(!statusPanel);
    ActionHardware->setEnabled(m < 3);
    ActionShowSelfProfile->setEnabled(m >= 2 && m <= 4);
    ActionShowUserProfile->setEnabled(m >= 2 && m <= 4);
    ActionConnect->setEnabled(m == 2 && !FBusySignal && !FHardwareOpen && !FNetworkOpen);
    ActionDisconnect->setEnabled(m == 3 || m == 4 || (m == 2 && FBusySignal));
    ActionNetwork->setEnabled(m != 3 && m != 4);
    CallingID->setEnabled(m == 2);
    ActionDSearch->setEnabled(m != 0 && (m == 1 || KrCore->Rights().count(arSearchHistory) != 0));
    ActionHistory->setEnabled(m != 0);
    ActionBook->setEnabled(m != 0);
    ActionChat->setEnabled(m != 0);
}

void TMainForm::KrBooksUserList(unsigned BookID)
{
    // The search and history windows take theirs once they exist.
    if (BookID == 1 && HotListForm)
        HotListForm->RefreshFromBook();
}

void TMainForm::KrBooksBookNotify(const QString& sName, int eAction, int BookMessage)
{
    const bool listShown = (HotListForm && HotListForm->isVisible()) ||
                           (SearchForm && SearchForm->isVisible()) ||
                           (HistoryForm && HistoryForm->isVisible());
    if (!listShown)
        return;
    int id = 0;
    switch (BookMessage) {
    case bmDone:
        id = eAction == aeAdd ? 54890 : 54891;
        break;
    case bmNotFound:
        id = 54892;
        break;
    case bmNotValid:
        id = 54893;
        break;
    case bmAlreadyListed:
        id = 54894;
        break;
    case bmDatabaseError:
        id = 54864;
        break;
    default:
        return;
    }
    IncCallMessage.MessageDlg(FormatText(LoadLocalizedString(id), {sName}), mtInformation, mbOK);
}

void TMainForm::StatTimerTimer()
{
    int sent = 0;
    int received = 0;
    KrCore->GetTraffic(sent, received);
    const auto rate = [](int Amount) {
        return QString::number(qMin(Amount * 8 / 1000.0, 60.0), 'f', 1);
    };
    StatusBarPanels[1]->SetText(LoadLocalizedString(54868) + rate(sent) +
                                LoadLocalizedString(55123));
    StatusBarPanels[2]->SetText(LoadLocalizedString(54869) + rate(received) +
                                LoadLocalizedString(55123));
}

void TMainForm::QualityTimerTimer()
{
    ShowQualityImage(KrCore->NetQuality());
}

void TMainForm::CallTimerTimer()
{
    RecLevelBar->setValue(KrCore->MicLevel());
    const quint32 elapsed = TickCount() - FCallStartTick;
    const QString time = QStringLiteral("%1:%2:%3")
                             .arg(elapsed / 3600000, 2, 10, QLatin1Char('0'))
                             .arg(elapsed / 60000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(elapsed / 1000 % 60, 2, 10, QLatin1Char('0'));
    StatusLabel->setText(
        FormatText(LoadLocalizedString(54912), {KrCore->GetPeerDisplayName(), time}));
}
