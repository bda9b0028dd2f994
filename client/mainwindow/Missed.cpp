#include "Missed.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TMissedForm::TMissedForm(QWidget* Owner) : QDialog(Owner)
{
    TeLabel1 = new QLabel(this);
    TeLabel1->setAlignment(Qt::AlignCenter);
    TeButton1 = new QPushButton(this);
    TeButton2 = new QPushButton(this);
    TeButton1->setDefault(true);
    connect(TeButton1, &QPushButton::clicked, this, [this] {
        FResult = mfOk;
        QDialog::done(Accepted);
    });
    connect(TeButton2, &QPushButton::clicked, this, &TMissedForm::reject);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(TeLabel1);
    auto buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(TeButton1);
    buttons->addWidget(TeButton2);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(260);
    Localize();
}

void TMissedForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55146));
    TeButton1->setText(LoadLocalizedString(55213));
    TeButton2->setText(LoadLocalizedString(55214));
    SetCount(FCount);
}

void TMissedForm::SetCount(int Count)
{
    FCount = Count;
    TeLabel1->setText(Count > 1 ? FormatText(LoadLocalizedString(55133), {QString::number(Count)})
                                : LoadLocalizedString(55135));
}

void TMissedForm::CloseNotice()
{
    FResult = mfNone;
    QDialog::done(Rejected);
}

void TMissedForm::showEvent(QShowEvent* Event)
{
    FResult = mfNone;
    QDialog::showEvent(Event);
}

void TMissedForm::reject()
{
    FResult = mfCancel;
    QDialog::done(Rejected);
}
