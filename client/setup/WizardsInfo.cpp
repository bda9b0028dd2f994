#include "WizardsInfo.h"

#include "platform/Shell.h"
#include "ui/MessageDlg.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

struct TPageTexts
{
    const char* Step;
    const char* Caption;
};

const TPageTexts PageTexts[] = {
    {"Hardware Check", "Hardware wizard"},
    {"Network Configuration", "Network wizard"},
    {"Login/Registration", "Login wizard"},
    {"Please choose your language", "Choose Your Language"},
};

QLabel* PageLabel(QWidget* Parent, const QRect& Geometry)
{
    auto label = new QLabel(Parent);
    label->setGeometry(Geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

TInfoFormForm::TInfoFormForm(QWidget* Owner)
    : QDialog(Owner), HeaderPanel(new QFrame(this)), StepLabel(new QLabel(HeaderPanel)),
      HardwareLabel1(PageLabel(HeaderPanel, {10, 36, 280, 120})),
      NetLabel1(PageLabel(HeaderPanel, {10, 36, 280, 120})),
      LoginLabel1(PageLabel(HeaderPanel, {10, 32, 280, 92})),
      LoginLabel4(PageLabel(HeaderPanel, {10, 124, 280, 16})),
      LoginLabel6(PageLabel(HeaderPanel, {10, 142, 280, 16})),
      LoginLabel7(PageLabel(HeaderPanel, {10, 160, 280, 16})),
      LoginLabel8(PageLabel(HeaderPanel, {10, 178, 280, 16})),
      LanguageLabel(PageLabel(HeaderPanel, {10, 36, 280, 32})),
      LangCombo(new QComboBox(HeaderPanel)), NextButton(new QPushButton(this)),
      LoginButton(new QPushButton(this)), CancelButton(new QPushButton(this))
{
    setFixedSize(ClientWidth, ClientHeight);
    HeaderPanel->setGeometry(6, 4, 300, 196);
    HeaderPanel->setFrameShape(QFrame::StyledPanel);
    StepLabel->setGeometry(10, 8, 280, 22);
    QFont stepFont = StepLabel->font();
    stepFont.setBold(true);
    stepFont.setPointSizeF(stepFont.pointSizeF() * 1.25);
    StepLabel->setFont(stepFont);
    LangCombo->setGeometry(10, 76, 280, 24);
    NextButton->setGeometry(136, 208, 82, 25);
    LoginButton->setGeometry(136, 208, 82, 25);
    CancelButton->setGeometry(224, 208, 82, 25);
    NextButton->setDefault(true);
    for (QLabel* link : {LoginLabel4, LoginLabel7}) {
        link->setTextFormat(Qt::RichText);
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(NextButton, &QPushButton::clicked, this, &TInfoFormForm::NextButtonClick);
    connect(LoginButton, &QPushButton::clicked, this, &TInfoFormForm::LoginButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TInfoFormForm::CancelButtonClick);
    connect(LoginLabel4, &QLabel::linkActivated, this, &TInfoFormForm::LoginLabel4Click);
    connect(LoginLabel7, &QLabel::linkActivated, this, &TInfoFormForm::LoginLabel7Click);

    SetVisibe(false, false, false, false);
    Localize();
    LoginChosen = false;
}

void TInfoFormForm::Localize()
{
    HardwareLabel1->setText(QStringLiteral(
        "This wizard will help you to configure video and audio devices. Please make sure that "
        "your video camera is properly installed and enabled. Please click Next  when you are "
        "ready."));
    NetLabel1->setText(QStringLiteral(
        "The application now needs to establish a connection with the server. Please make sure "
        "that your computer is connected to the Internet. Click Next to start the network "
        "wizard."));
    LoginLabel1->setText(QStringLiteral(
        "You  must  have a valid account in order to use this service. Registration is free. NO "
        "SPAM PLEDGE: Any information you provide will be kept private , and there is no adware "
        "or spyware of any kind associated with this service .See Privacy Statement for "
        "details."));
    LoginLabel6->setText(
        QStringLiteral("If you are not registered yet follow the registration link below."));
    LoginLabel8->setText(QStringLiteral("If you already have an account press Login button."));
    LanguageLabel->setText(QStringLiteral("Select the interface language from the choices below."));
    NextButton->setText(QStringLiteral("&Next >>"));
    LoginButton->setText(QStringLiteral("Login"));
    CancelButton->setText(QStringLiteral("&Cancel"));
    SetLink(LoginLabel4, QStringLiteral("Privacy Statement"), PrivacyURL);
    SetLink(LoginLabel7, QStringLiteral("Get Your Free Login"), RegistrationURL);
    ApplyPageTexts();
}

void TInfoFormForm::ApplyPageTexts()
{
    if (PageIndex < 0 || PageIndex >= int(std::size(PageTexts)))
        return;
    StepLabel->setText(QString::fromLatin1(PageTexts[PageIndex].Step));
    FFrameCaption = QString::fromLatin1(PageTexts[PageIndex].Caption);
    setWindowTitle(FFrameCaption);
}

void TInfoFormForm::SetLink(QLabel* Link, const QString& Text, const QString& Address)
{
    // The address is not put into the markup: it comes from the server.
    Link->setText(QStringLiteral("<a href=\"#\">%1</a>").arg(Text.toHtmlEscaped()));
    const bool usable = !Address.isEmpty();
    Link->setEnabled(usable);
    Link->setCursor(usable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TInfoFormForm::SetVisibe(bool Hardware, bool Network, bool Account, bool Language)
{
    HardwareLabel1->setVisible(Hardware);
    NetLabel1->setVisible(Network);
    for (QWidget* control : {LoginLabel1, LoginLabel4, LoginLabel6, LoginLabel7, LoginLabel8})
        control->setVisible(Account);
    LoginButton->setVisible(Account);
    LangCombo->setVisible(Language);
    LanguageLabel->setVisible(Language);
    NextButton->setVisible(Hardware || Network || Language);
    CancelButton->setVisible(true);
}

void TInfoFormForm::ShowHardwarePage()
{
    PageIndex = HardwarePage;
    ApplyPageTexts();
    SetVisibe(true, false, false, false);
}

void TInfoFormForm::ShowNetworkPage()
{
    PageIndex = NetworkPage;
    ApplyPageTexts();
    SetVisibe(false, true, false, false);
}

void TInfoFormForm::ShowAccountPage()
{
    PageIndex = AccountPage;
    ApplyPageTexts();
    SetVisibe(false, false, true, false);
    SetLink(LoginLabel4, QStringLiteral("Privacy Statement"), PrivacyURL);
    SetLink(LoginLabel7, QStringLiteral("Get Your Free Login"), RegistrationURL);
}

void TInfoFormForm::ShowLanguagePage()
{
    PageIndex = LanguagePage;
    ApplyPageTexts();
    SetVisibe(false, false, false, true);
}

void TInfoFormForm::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        Cancelled = true;
}

void TInfoFormForm::NextButtonClick()
{
    Cancelled = false;
    done(mrOk);
}

void TInfoFormForm::LoginButtonClick()
{
    Cancelled = false;
    LoginChosen = true;
    done(mrOk);
}

void TInfoFormForm::reject()
{
    CancelButtonClick();
}

void TInfoFormForm::CancelButtonClick()
{
    if (PageIndex != AccountPage &&
        TKrMessageDlg(this).MessageDlg(QStringLiteral("Do you really want to cancel ") +
                                           FFrameCaption + QStringLiteral(" ?"),
                                       mtConfirmation, mbYes | mbNo) != mrYes)
        return;
    done(mrCancel);
}

void TInfoFormForm::LoginLabel4Click()
{
    TShell::Open(PrivacyURL);
}

void TInfoFormForm::LoginLabel7Click()
{
    TShell::Open(RegistrationURL);
}
