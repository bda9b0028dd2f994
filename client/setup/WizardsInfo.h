#pragma once

#include "startup/KrStrings.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// The first-run window: one page each before the language choice, the
// hardware wizard, the network wizard and the first login. The caller picks
// a page, runs the window modally and reads Cancelled and LoginChosen.
class TInfoFormForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    explicit TInfoFormForm(QWidget* Owner);

    static constexpr int ClientWidth = 312;
    static constexpr int ClientHeight = 240;

    enum TPage
    {
        HardwarePage = 0,
        NetworkPage = 1,
        AccountPage = 2,
        LanguagePage = 3
    };

    QFrame* HeaderPanel;
    QLabel* StepLabel;
    QLabel* HardwareLabel1;
    QLabel* NetLabel1;
    QLabel* LoginLabel1;
    QLabel* LoginLabel4; // link to PrivacyURL
    QLabel* LoginLabel6;
    QLabel* LoginLabel7; // link to RegistrationURL
    QLabel* LoginLabel8;
    QLabel* LanguageLabel;
    QComboBox* LangCombo;
    QPushButton* NextButton;
    QPushButton* LoginButton;
    QPushButton* CancelButton;

    int PageIndex = -1;
    bool Cancelled = false;
    bool LoginChosen = false;
    QString RegistrationURL;
    QString PrivacyURL;

    void ShowHardwarePage();
    void ShowNetworkPage();
    void ShowAccountPage();
    void ShowLanguagePage();
    // Shows exactly the controls of one page.
    void SetVisibe(bool Hardware, bool Network, bool Account, bool Language);
    void Localize() override;
    // Escape and the window frame act as Cancel.
    void reject() override;

    void NextButtonClick();
    void LoginButtonClick();
    void CancelButtonClick();
    void LoginLabel4Click();
    void LoginLabel7Click();

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void ApplyPageTexts();
    void SetLink(QLabel* Link, const QString& Text, const QString& Address);

    QString FFrameCaption;
};
