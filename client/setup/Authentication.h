#pragma once

#include "startup/KrStrings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TKrCore;

// User name and password the engine asks for when a proxy demands them.
class TAuthenticationForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    explicit TAuthenticationForm(TKrCore& KrCore);

    static constexpr int ClientWidth = 211;
    static constexpr int ClientHeight = 136;
    static constexpr int MaxTextLength = 63;

    QLabel* TeLabel3;
    QLabel* TeLabel1;
    QLineEdit* UserEdit;
    QLabel* TeLabel2;
    QLineEdit* PasswordEdit;
    QCheckBox* SavePropBox;
    QPushButton* TeButton1;
    QPushButton* TeButton2;

    // 0 when closed by the window frame, 1 after OK, 2 after Cancel.
    int DialogResult = 0;

    void Localize() override;
    void TeButton1Click();
    void TeButton2Click();

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    TKrCore& FKrCore;
};

// Asks for the proxy credentials, pre-filled from the engine's two buffers of
// KR_PROXY_TEXT_SIZE bytes. After OK the entered texts are written back
// (zero-terminated) and 2 is returned; otherwise 0 and the buffers are left
// alone. The caller passes the result to ProxyDialogEnd.
int RunProxyAuthentication(TKrCore& KrCore, char* UserName, char* Password);
