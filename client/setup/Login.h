#pragma once

#include "platform/Messages.h"
#include "startup/KrStrings.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TKrCore;

// Tells an open login dialog that the connection or the server's properties changed.
constexpr std::uint32_t WM_LOGIN_STATE = WM_USER + 39;

// The window handle of the open login dialog; 0 while none is open.
extern HWND LoginDialogWindow;

// User name and password for the service. The dialog follows the connection
// while it is open: inputs unlock once connected, and it withdraws when a
// login succeeds by another route.
class TLoginForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    // LoginName is the main window's remembered login name, set on OK.
    TLoginForm(QWidget* Owner, TKrCore& KrCore, QString& LoginName);
    ~TLoginForm() override;

    static constexpr int ClientWidth = 282;
    static constexpr int ClientHeight = 151;

    QLabel* Label3;
    QLineEdit* Login;
    QLabel* Label4;
    QLineEdit* Password;
    QCheckBox* AutoLoginBox;
    QPushButton* OkButton;
    QPushButton* SeSkinButton2;
    QPushButton* regButton;

    QString RegistrationURL;

    HWND WindowHandle() const;
    void Localize() override;
    // Escape and the window frame act as Cancel.
    void reject() override;
    void UpdateLoginState();

    void OkButtonClick();
    void regButtonClick();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void FormShow();
    void SetInputsEnabled(bool Enabled);
    void FocusFirstEmpty();
    // Closes once the dialog's own loop runs, also when asked while it opens.
    void CloseWith(int Result);

    TKrCore& FKrCore;
    QString& FLoginName;
    TMessageTarget* FMessageTarget;
};

// Runs the login dialog modally and answers mrOk (login sent), mrCancel,
// mrAbort (no password) or mrIgnore (no user name).
int RunLoginDialog(QWidget* Owner, TKrCore& KrCore, QString& LoginName);

// Has an open login dialog re-check the connection.
void RefreshLoginDialog();
