#pragma once

#include "startup/KrStrings.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TKrBooks;

// Asks for the e-mail address of a friend to add to the address book.
class TAddNewForm : public QDialog, public TLocalizable
{
    Q_OBJECT
public:
    static constexpr int MaxAddressLength = 255;

    explicit TAddNewForm(TKrBooks* Books, QWidget* Parent = nullptr);

    void Localize() override;

    // Checks only the shape the service accepts, not that the address exists.
    static bool ValidEmail(const QString& Text);

    // Sends a valid address and closes; anything else keeps the dialog open.
    void AddButtonClick();

    QLabel* SeSkinLabel1;
    QLineEdit* SeSkinEdit1;
    QPushButton* AddButton;
    QPushButton* CancelButton;

protected:
    void reject() override;

private:
    TKrBooks* FBooks;
};
