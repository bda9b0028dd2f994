#pragma once

#include "startup/KrStrings.h"

#include <QDialog>

class QLabel;
class QPushButton;

// Tells how many calls were missed. OK leads to the call history; Cancel only
// acknowledges them.
class TMissedForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    enum TResult
    {
        mfNone,
        mfOk,
        mfCancel
    };

    explicit TMissedForm(QWidget* Owner);

    void Localize() override;
    void SetCount(int Count);
    // The program takes the notice away: no answer.
    void CloseNotice();
    TResult Result() const { return FResult; }

    QLabel* TeLabel1;
    QPushButton* TeButton1; // OK
    QPushButton* TeButton2; // Cancel

protected:
    void showEvent(QShowEvent* Event) override;
    void reject() override; // Escape and the close button answer Cancel

private:
    int FCount = 0;
    TResult FResult = mfNone;
};
