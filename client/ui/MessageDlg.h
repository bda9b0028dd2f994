#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

// Results of modal dialogs and message boxes.
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
using TMsgDlgButtons = unsigned;

// One message box as it was put to the user.
struct TShownMessage
{
    QString Caption;
    QString Text;
    TMsgDlgType DlgType = mtInformation;
    TMsgDlgButtons Buttons = mbOK;
};

// The program's message box: every message the user is asked to read or
// answer goes through one of these, so that all of them look alike and
// follow the current language.
class TKrMessageDlg
{
public:
    explicit TKrMessageDlg(QWidget* Owner = nullptr) : FOwner(Owner) {}

    // Shows Text modally (window messages keep being handled meanwhile) and
    // returns the modal result of the button pressed. Closing the box without
    // a button answers Cancel when it has one, else No when it has one, else OK.
    // An empty Caption takes the one that goes with the dialog type.
    int MessageDlg(const QString& Text, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                   const QString& Caption = {}) const;

    // For tests: while a script is installed no box is shown; each message is
    // recorded and answered by the script.
    using TScript = std::function<int(const TShownMessage& Message)>;
    static void InstallScript(TScript Script);
    static void RemoveScript();
    static QList<TShownMessage> ShownMessages();
    static void ClearShownMessages();

private:
    QWidget* FOwner;
};
