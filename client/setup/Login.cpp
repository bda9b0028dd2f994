#include "Login.h"

#include "engine/KrClient.h"
#include "platform/Shell.h"
#include "ui/MessageDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <initializer_list>

HWND LoginDialogWindow = 0;

namespace {

constexpr int MaxInputLength = 255;

} // namespace

TLoginForm::TLoginForm(QWidget* Owner, TKrCore& KrCore, QString& LoginName)
    : QDialog(Owner), Label3(new QLabel(this)), Login(new QLineEdit(this)),
      Label4(new QLabel(this)), Password(new QLineEdit(this)), AutoLoginBox(new QCheckBox(this)),
      OkButton(new QPushButton(this)), SeSkinButton2(new QPushButton(this)),
      regButton(new QPushButton(this)), FKrCore(KrCore), FLoginName(LoginName),
      FMessageTarget(new TMessageTarget(
          [this](TMessage& Message) {
              if (Message.Msg == WM_LOGIN_STATE)
                  UpdateLoginState();
          },
          this))
{
    setFixedSize(ClientWidth, ClientHeight);
    Label3->setGeometry(12, 14, 80, 21);
    Login->setGeometry(96, 12, 174, 23);
    Label4->setGeometry(12, 46, 80, 21);
    Password->setGeometry(96, 44, 174, 23);
    AutoLoginBox->setGeometry(12, 84, 80, 19);
    OkButton->setGeometry(96, 80, 84, 27);
    SeSkinButton2->setGeometry(186, 80, 84, 27);
    regButton->setGeometry(12, 116, 258, 27);

    Label3->setBuddy(Login);
    Label4->setBuddy(Password);
    Login->setMaxLength(MaxInputLength);
    Password->setMaxLength(MaxInputLength);
    Password->setEchoMode(QLineEdit::Password);
    AutoLoginBox->setChecked(true);
    AutoLoginBox->hide();
    OkButton->setDefault(true);

    connect(OkButton, &QPushButton::clicked, this, &TLoginForm::OkButtonClick);
    connect(SeSkinButton2, &QPushButton::clicked, this, &TLoginForm::reject);
    connect(regButton, &QPushButton::clicked, this, &TLoginForm::regButtonClick);
    Localize();
}

TLoginForm::~TLoginForm() = default;

HWND TLoginForm::WindowHandle() const
{
    return FMessageTarget->Handle();
}

void TLoginForm::Localize()
{
    setWindowTitle(QStringLiteral("%1 login").arg(ReadResourceText(QStringLiteral("SERVICENAME"))));
    Label3->setText(QStringLiteral("&Login:"));
    Label4->setText(QStringLiteral("&Password:"));
    AutoLoginBox->setText(QStringLiteral("&Auto login"));
    OkButton->setText(QStringLiteral("&OK"));
    SeSkinButton2->setText(QStringLiteral("&Cancel"));
    regButton->setText(QStringLiteral("&Get Your Free Login"));
}

void TLoginForm::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TLoginForm::reject()
{
    done(mrCancel);
}

void TLoginForm::FormShow()
{
    Password->clear();
    FocusFirstEmpty();
    UpdateLoginState();
}

void TLoginForm::FocusFirstEmpty()
{
    if (Login->text().isEmpty())
        Login->setFocus();
    else
        Password->setFocus();
}

void TLoginForm::SetInputsEnabled(bool Enabled)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{Label3, Login, Label4, Password, AutoLoginBox, OkButton})
        control->setEnabled(Enabled);
}

void TLoginForm::UpdateLoginState()
{
    const int mode = FKrCore.StatusMode();
    if (mode >= 2) {
        CloseWith(mrCancel);
        return;
    }
    const bool wasLocked = !Login->isEnabled();
    SetInputsEnabled(mode == 1);
    // The address arrives with the server's properties, which may come after
    // the dialog opened; the button follows it rather than the state at opening.
    RegistrationURL = FKrCore.GetServerProperty(QStringLiteral("registration_url"));
    regButton->setEnabled(mode == 1 && !RegistrationURL.isEmpty());
    if (mode == 1 && wasLocked)
        FocusFirstEmpty();
}

void TLoginForm::CloseWith(int Result)
{
    QMetaObject::invokeMethod(
        this, [this, Result] { done(Result); }, Qt::QueuedConnection);
}

void TLoginForm::OkButtonClick()
{
    const QString userName = Login->text();
    const QString password = Password->text();
    if (userName.isEmpty()) {
        done(mrIgnore);
        return;
    }
    if (password.isEmpty()) {
        done(mrAbort);
        return;
    }
    FLoginName = userName;
    FKrCore.Login(userName, password, AutoLoginBox->isChecked());
    done(mrOk);
}

void TLoginForm::regButtonClick()
{
    TShell::Open(RegistrationURL);
    done(mrCancel);
}

int RunLoginDialog(QWidget* Owner, TKrCore& KrCore, QString& LoginName)
{
    // A second dialog would take over the handle and leave the first deaf to
    // the connection.
    if (LoginDialogWindow != 0)
        return mrCancel;
    QPointer<TLoginForm> form = new TLoginForm(Owner, KrCore, LoginName);
    LoginDialogWindow = form->WindowHandle();
    TKrValue lastLogin;
    KrCore.ReadSetting(QStringLiteral("Lastlogin"), true, lastLogin);
    form->Login->setText(lastLogin.AsText());
    const int result = form->exec();
    LoginDialogWindow = 0;
    delete form;
    return result;
}

void RefreshLoginDialog()
{
    if (LoginDialogWindow != 0)
        PostMessage(LoginDialogWindow, WM_LOGIN_STATE, 0, 0);
}
