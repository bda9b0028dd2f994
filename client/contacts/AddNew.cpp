#include "AddNew.h"

#include "contacts/AddressBook.h"
#include "mainwindow/MainScreen.h"
#include "ui/MessageDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TAddNewForm::TAddNewForm(TKrBooks* Books, QWidget* Parent) : QDialog(Parent), FBooks(Books)
{
    setFixedSize(276, 122);
    SeSkinLabel1 = new QLabel(this);
    SeSkinLabel1->setGeometry(10, 8, 256, 34);
    SeSkinLabel1->setTextFormat(Qt::PlainText);
    SeSkinEdit1 = new QLineEdit(this);
    SeSkinEdit1->setGeometry(10, 48, 256, 22);
    SeSkinEdit1->setMaxLength(MaxAddressLength);
    AddButton = new QPushButton(this);
    AddButton->setGeometry(100, 86, 80, 26);
    AddButton->setDefault(true);
    CancelButton = new QPushButton(this);
    CancelButton->setGeometry(186, 86, 80, 26);
    connect(AddButton, &QPushButton::clicked, this, [this] { AddButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { done(mrCancel); });
    Localize();
}

void TAddNewForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55092));
    // The text breaks its line with a line feed and a carriage return; show one break.
    QString label = LoadLocalizedString(55093);
    label.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    SeSkinLabel1->setText(label);
    AddButton->setText(LoadLocalizedString(55215));
    CancelButton->setText(LoadLocalizedString(55214));
}

void TAddNewForm::reject()
{
    done(mrCancel);
}

bool TAddNewForm::ValidEmail(const QString& Text)
{
    const qsizetype length = Text.size();
    if (length < 6 || length > MaxAddressLength)
        return false;
    const qsizetype at = Text.indexOf(QLatin1Char('@'));
    if (at <= 0 || Text.count(QLatin1Char('@')) != 1)
        return false;
    if (Text.at(length - 1) == QLatin1Char('.') || Text.at(length - 2) == QLatin1Char('.'))
        return false;
    if (at == length - 1)
        return false;
    const qsizetype dot = Text.indexOf(QLatin1Char('.'), at + 1);
    return dot != at + 1;
}

void TAddNewForm::AddButtonClick()
{
    QString text = SeSkinEdit1->text();
    if (text.size() > MaxAddressLength) {
        text.truncate(MaxAddressLength);
        SeSkinEdit1->setText(text);
    }
    if (!text.isEmpty() && ValidEmail(text)) {
        if (FBooks)
            FBooks->AddFriendByEmail(text);
        done(mrOk);
        return;
    }
    const TKrMessageDlg own(this);
    const TKrMessageDlg& messages = MainForm ? MainForm->IncCallMessage : own;
    messages.MessageDlg(LoadLocalizedString(55091), mtInformation, mbOK);
}
