// The engine's warnings, the other party's commands, failed calls and the
// busy signal, and the first-run pages.
#include "MainScreen.h"

#include "platform/Shell.h"
#include "setup/Login.h"
#include "setup/WizardsInfo.h"
#include "ui/WavePlay.h"
#include "video/FrameOffline.h"
#include "video/SelfPanel.h"
#include "video/SelfViewUnit.h"
#include "video/VideoPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

// ---- Warnings -------------------------------------------------------------------------

void TMainForm::KrCoreWarning(TKrCore*, TWarningNotify Warning)
{
    const auto warn = [this](int Id) {
        IncCallMessage.MessageDlg(LoadLocalizedString(Id), mtWarning, mbOK);
    };
    // The program ends, also when this comes while the window is still being
    // made and cannot close yet: the message loop ends as soon as it runs.
    const auto fatal = [this](int Id) {
        IncCallMessage.MessageDlg(LoadLocalizedString(Id), mtError, mbOK);
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        QuitProgram();
    };
    switch (Warning) {
    case 0:
        fatal(54882);
        return;
    case 2:
    case 4:
        warn(54901);
        if (KrCore->StatusMode() == 1) {
            UpdateControls();
            ActionLogin->trigger();
        }
        break;
    case 3:
        warn(54900);
        break;
    case 5:
        warn(54902);
        break;
    case 6:
        fatal(54903);
        return;
    case 7:
        ServerPropertiesArrived();
        break;
    case 8:
        IncCallMessage.MessageDlg(
            FormatText(LoadLocalizedString(54881),
                       {KrCore->AppName, ReadResourceText(QStringLiteral("HOMESITE"))}),
            mtWarning, mbOK);
        QuitProgram();
        return;
    case 9:
        if (KrCore->StatusMode() == 0 && !FOfflineFrame) {
            FOfflineFrame = new TOfflineFrame(this);
            FOfflineFrame->move(0, ToolPanel->mapTo(this, QPoint(0, 0)).y());
            FOfflineFrame->show();
            FOfflineFrame->raise();
        }
        break;
    case 10:
        warn(54899);
        break;
    case 11:
        warn(54907);
        break;
    case 12:
        EchoWave->SetActive(true);
        break;
    default:
        break;
    }
    UpdateControls();
}

void TMainForm::ServerPropertiesArrived()
{
    RefreshLoginDialog();
    if (!KrCore->GetServerProperty(QStringLiteral("skin_url")).isEmpty())
        GetMoreItem->setEnabled(true);
    if (!KrCore->GetServerProperty(QStringLiteral("lang_url")).isEmpty())
        GetMoreLItem->setEnabled(true);
    // Versions compare as plain text, so an empty server value never asks for an update.
    const QString version = KrCore->Version;
    const QString setupUrl = KrCore->GetServerProperty(QStringLiteral("setup_url"));
    if (version < KrCore->GetServerProperty(QStringLiteral("min_version"))) {
        IncCallMessage.MessageDlg(FormatText(LoadLocalizedString(54908), {KrCore->AppName}),
                                  mtInformation, mbOK);
        TShell::Open(setupUrl);
        QuitProgram();
    } else if (version < KrCore->GetServerProperty(QStringLiteral("current_version"))) {
        const QString text = FormatText(
            LoadLocalizedString(54910),
            {KrCore->AppName, KrCore->GetServerProperty(QStringLiteral("last_version"))});
        if (IncCallMessage.MessageDlg(text, mtInformation, mbOK | mbCancel) == mrOk) {
            TShell::Open(setupUrl);
            QuitProgram();
        }
    }
    if (FFirstRunNetwork && FNetworkWizardShown) {
        FFirstRunNetwork = FNetworkWizardShown = false;
        ShowAccountInfo();
    }
}

void TMainForm::KrCoreCommand(TKrCore*, const QString& Command, const QString& UserName)
{
    if (FConfKind != 0)
        return;
    if (Command == QLatin1String("plugin:Record:OnQuery")) {
        const QString text = FormatText(LoadLocalizedString(54865), {KrCore->GetPeerDisplayName()});
        if (IncCallMessage.MessageDlg(text, mtInformation, mbYes | mbNo) == mrYes) {
            KrCore->SendCommand(QStringLiteral("plugin:Record:Accept"), UserName);
            RecordIndicator->show();
        } else {
            KrCore->SendCommand(QStringLiteral("plugin:Record:Reject"), UserName);
        }
    } else if (Command == QLatin1String("plugin:Record:OffNotify")) {
        RecordIndicator->hide();
    } else if (OnPluginCommandHook && Command.startsWith(QLatin1String("plugin:"))) {
        OnPluginCommandHook(Command, UserName);
    }
}

void TMainForm::KrCoreNotifyTrack(TKrCore* Sender, int Track, int Size, const void* Buffer,
                                  const char* ID)
{
    if (OnTrackHook)
        OnTrackHook(Sender, Track, ID, Buffer, Size);
}

// ---- Failed calls ------------------------------------------------------------------------

void TMainForm::KrStatusCallBreak(TKrCore*, TCallBreakReason Reason)
{
    StopAllSounds();
    QString message;
    QString busy;
    switch (Reason) {
    case 3:
        message = LoadLocalizedString(54926);
        break;
    case 4:
        message = LoadLocalizedString(54906);
        break;
    case 5:
    case 10:
        busy = LoadLocalizedString(54899) + QStringLiteral(" ....");
        break;
    case 6:
    case 8:
        busy = LoadLocalizedString(54904);
        break;
    case 9:
        busy = LoadLocalizedString(54905);
        break;
    case 11:
        busy = QStringLiteral("Access denied");
        break;
    case 12:
        message = LoadLocalizedString(54924);
        break;
    case 13:
        message = LoadLocalizedString(54925);
        break;
    case 14:
        message = LoadLocalizedString(54927);
        break;
    case 15:
        message = FormatText(LoadLocalizedString(55303), {FConferenceName});
        break;
    case 16:
        message = FormatText(LoadLocalizedString(55302), {FConferenceName});
        break;
    default:
        break;
    }
    if (!message.isEmpty())
        IncCallMessage.MessageDlg(message, mtWarning, mbOK);
    if (!busy.isEmpty()) {
        FBusySignal = true;
        StatusLabel->setText(busy);
        BusyWave->SetActive(true);
        BusyTimer->start();
    }
    UpdateControls();
    if (FCallProcess)
        FCallProcess->Step();
}

// ---- First run ---------------------------------------------------------------------------

void TMainForm::paintEvent(QPaintEvent* Event)
{
    QMainWindow::paintEvent(Event);
    if (FFirstRun) {
        FFirstRun = false;
        // The pages are modal: run them once this paint has finished.
        QTimer::singleShot(0, this, [this] { RunFirstRunPages(); });
    }
}

void TMainForm::RunFirstRunPages()
{
    FFirstRun = false;
    delete FInfoForm;
    FInfoForm = new TInfoFormForm(this);

    // Language, when there is a choice.
    QList<QAction*> languages;
    for (QAction* item : LangItem->actions())
        if (item != DefaultLItem && !item->isSeparator() && item->isCheckable())
            languages.append(item);
    if (FLanguageFile.isEmpty() && LangItem->actions().size() > 4 && !languages.isEmpty()) {
        FInfoForm->LangCombo->clear();
        FInfoForm->LangCombo->addItem(LoadLocalizedString(55301));
        for (QAction* item : languages)
            FInfoForm->LangCombo->addItem(item->text());
        FInfoForm->LangCombo->setCurrentIndex(0);
        FInfoForm->ShowLanguagePage();
        FInfoForm->exec();
        if (FInfoForm && !FInfoForm->Cancelled) {
            const int index = FInfoForm->LangCombo->currentIndex();
            SelectLanguage(index <= 0 ? DefaultLItem : languages.value(index - 1, DefaultLItem));
        }
    }

    // Hardware: pick the first real device where none is chosen yet.
    if (FInfoForm) {
        FInfoForm->ShowHardwarePage();
        FInfoForm->exec();
    }
    if (FInfoForm && !FInfoForm->Cancelled) {
        if (KrCore->CurrentVideoCapture() == 0 && KrCore->VideoCaptureDevices().size() > 1)
            KrCore->SetCurrentVideoCapture(1);
        if (KrCore->CurrentAudioCapture() == 0 && KrCore->AudioCaptureDevices().size() > 1)
            KrCore->SetCurrentAudioCapture(1);
        if (KrCore->CurrentAudioRender() == 0 && KrCore->AudioRenderDevices().size() > 1)
            KrCore->SetCurrentAudioRender(1);
        KrCore->ApplyDevices();
        KrCore->StartSender(MainVideoPanel, FVideoWidth, FVideoHeight, FAudioRate);
        if (CameraSelected())
            MainVideoPanel->StartRender();
        UpdateControls();
    }

    // Network.
    if (FFirstRunNetwork && FInfoForm) {
        KrCore->SetBandwidthWizard(true);
        FInfoForm->ShowNetworkPage();
        FInfoForm->exec();
        FNetworkWizardShown = true;
        KrCore->SetBandwidthWizard(false);
    }
}

void TMainForm::ShowAccountInfo()
{
    if (FInfoForm && !FInfoForm->isVisible()) {
        FInfoForm->RegistrationURL = KrCore->GetServerProperty(QStringLiteral("registration_url"));
        FInfoForm->PrivacyURL = KrCore->GetServerProperty(QStringLiteral("privacypolicy_url"));
        FInfoForm->ShowAccountPage();
        if (KrCore->StatusMode() == 1) {
            FInfoForm->exec();
            if (FInfoForm && FInfoForm->LoginChosen)
                ActionLogin->trigger();
        }
    }
    delete FInfoForm;
}
