#include "FormIncomming.h"

#include "MainScreen.h"
#include "ui/MessageDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TIncommingForm::TIncommingForm(TMainForm* Owner) : QDialog(Owner), FOwner(Owner)
{
    setWindowFlag(Qt::WindowStaysOnTopHint);
    ConfirmLabel_ = new QLabel(this);
    ConfirmLabel = new QLabel(this);
    for (QLabel* label : {ConfirmLabel_, ConfirmLabel}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
    }
    QFont bold = ConfirmLabel->font();
    bold.setBold(true);
    ConfirmLabel->setFont(bold);
    YesButton = new QPushButton(this);
    NoButton = new QPushButton(this);
    YesButton->setDefault(true);
    connect(YesButton, &QPushButton::clicked, this, &TIncommingForm::YesButtonClick);
    connect(NoButton, &QPushButton::clicked, this, &TIncommingForm::NoButtonClick);

    auto layout = new QVBoxLayout(this);
    layout->addWidget(ConfirmLabel_);
    layout->addWidget(ConfirmLabel);
    auto buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(YesButton);
    buttons->addWidget(NoButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(300);
    Localize();
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TIncommingForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55360));
    YesButton->setText(LoadLocalizedString(55211));
    NoButton->setText(LoadLocalizedString(55212));
}

void TIncommingForm::YesButtonClick()
{
    if (FAnswer != anNone)
        return;
    FAnswer = anYes;
    FOwner->YesButtonClick();
    QDialog::done(mrYes);
}

void TIncommingForm::NoButtonClick()
{
    if (FAnswer != anNone)
        return;
    FAnswer = anNo;
    FOwner->NoButtonClick();
    QDialog::done(mrNo);
}

void TIncommingForm::reject()
{
    NoButtonClick();
}

void TIncommingForm::done(int Result)
{
    // Taken away without an answer (the caller gave up): refuse.
    if (FAnswer == anNone && !FOwner->KrCore->Closing()) {
        NoButtonClick();
        return;
    }
    QDialog::done(Result);
}

TIncommingStarter::~TIncommingStarter()
{
    Dismiss();
}

void TIncommingStarter::Show(const QString& Prompt, const QString& CallerLine)
{
    while (FDialog)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    auto dialog = new TIncommingForm(FOwner);
    FDialog = dialog;
    dialog->ConfirmLabel_->setText(Prompt);
    dialog->ConfirmLabel->setText(CallerLine);
    FShowing = true;
    FOwner->UpdateControls();
    dialog->exec();
    if (!FOwner->KrCore->Closing()) {
        FShowing = false;
        delete dialog;
        FOwner->UpdateControls();
    }
}

void TIncommingStarter::Dismiss()
{
    if (!FDialog)
        return;
    if (FShowing)
        FDialog->done(mrCancel);
    else
        QApplication::processEvents();
}
