#pragma once

#include "startup/KrStrings.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;

// The confirmation dialog: a question answered Yes or No. Escape and closing
// the window answer No.
class TWarningForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    explicit TWarningForm(QWidget* Parent = nullptr);

    void SetQuestion(const QString& Text);
    void Localize() override;

    QLabel* Image1;
    QLabel* TeLabel1;
    QPushButton* TeButton1; // Yes
    QPushButton* TeButton2; // No
    QCheckBox* TeCheckBox1; // "Do not ask me again.", kept hidden
};
