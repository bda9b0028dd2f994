#pragma once

#include "startup/KrStrings.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class TMainForm;

// Asks whether to take an incoming call or invitation. It stays on top and
// rings until it is answered or the caller gives up; closing it without an
// answer refuses.
class TIncommingForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    enum TAnswer
    {
        anNone,
        anYes,
        anNo
    };

    explicit TIncommingForm(TMainForm* Owner);

    void Localize() override;
    TAnswer Answer() const { return FAnswer; }

    QLabel* ConfirmLabel_; // the prompt
    QLabel* ConfirmLabel;  // the caller
    QPushButton* YesButton;
    QPushButton* NoButton;

    void YesButtonClick();
    void NoButtonClick();
    // Ends the dialog; without an answer given, that refuses the call.
    void done(int Result) override;

protected:
    void reject() override; // Escape and the window's close button answer No

private:
    TMainForm* FOwner;
    TAnswer FAnswer = anNone;
};

// Opens the incoming-call dialog and takes it away again when the caller
// gives up. While Showing, the main window counts a dialog as open.
class TIncommingStarter
{
public:
    explicit TIncommingStarter(TMainForm* Owner) : FOwner(Owner) {}
    ~TIncommingStarter();

    void Show(const QString& Prompt, const QString& CallerLine);
    void Dismiss();
    bool Showing() const { return FShowing; }
    TIncommingForm* Dialog() const { return FDialog; }

private:
    TMainForm* FOwner;
    QPointer<TIncommingForm> FDialog;
    bool FShowing = false;
};
