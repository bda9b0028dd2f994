#include "FormWarning.h"

#include "ui/MessageDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

TWarningForm::TWarningForm(QWidget* Parent) : QDialog(Parent)
{
    Image1 = new QLabel(this);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    TeLabel1 = new QLabel(this);
    TeLabel1->setWordWrap(true);
    TeLabel1->setMinimumWidth(240);
    TeButton1 = new QPushButton(this);
    TeButton2 = new QPushButton(this);
    TeButton1->setDefault(true);
    TeCheckBox1 = new QCheckBox(this);
    TeCheckBox1->hide();
    connect(TeButton1, &QPushButton::clicked, this, [this] { done(mrYes); });
    connect(TeButton2, &QPushButton::clicked, this, [this] { done(mrNo); });

    auto layout = new QGridLayout(this);
    layout->addWidget(Image1, 0, 0, Qt::AlignTop);
    layout->addWidget(TeLabel1, 0, 1);
    layout->addWidget(TeCheckBox1, 1, 1);
    auto buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(TeButton1);
    buttons->addWidget(TeButton2);
    layout->addLayout(buttons, 2, 0, 1, 2);
    Localize();
}

void TWarningForm::SetQuestion(const QString& Text)
{
    TeLabel1->setText(Text);
}

void TWarningForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55191));
    TeButton1->setText(LoadLocalizedString(55211));
    TeButton2->setText(LoadLocalizedString(55212));
    TeCheckBox1->setText(LoadLocalizedString(54953));
}
