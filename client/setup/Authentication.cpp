#include "Authentication.h"

#include "engine/KrClient.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <cstring>

namespace {

// Writes Text zero-terminated into an engine buffer of KR_PROXY_TEXT_SIZE
// bytes: at most the edits' number of characters, and never a partial UTF-8
// sequence when the bytes would not fit.
void WriteBuffer(char* Buffer, const QString& Text)
{
    qsizetype characters = qMin<qsizetype>(Text.size(), TAuthenticationForm::MaxTextLength);
    if (characters > 0 && Text.at(characters - 1).isHighSurrogate())
        --characters;
    const QByteArray bytes = ToEngineText(Text.left(characters));
    qsizetype length = qMin<qsizetype>(bytes.size(), KR_PROXY_TEXT_SIZE - 1);
    if (length < bytes.size())
        while (length > 0 && (quint8(bytes.at(length)) & 0xC0) == 0x80)
            --length;
    std::memcpy(Buffer, bytes.constData(), size_t(length));
    Buffer[length] = '\0';
}

} // namespace

TAuthenticationForm::TAuthenticationForm(TKrCore& KrCore)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), TeLabel3(new QLabel(this)),
      TeLabel1(new QLabel(this)), UserEdit(new QLineEdit(this)), TeLabel2(new QLabel(this)),
      PasswordEdit(new QLineEdit(this)), SavePropBox(new QCheckBox(this)),
      TeButton1(new QPushButton(this)), TeButton2(new QPushButton(this)), FKrCore(KrCore)
{
    setFixedSize(ClientWidth, ClientHeight);
    TeLabel3->setGeometry(4, 4, 203, 30);
    TeLabel3->setAlignment(Qt::AlignCenter);
    TeLabel1->setGeometry(8, 40, 64, 21);
    UserEdit->setGeometry(76, 38, 127, 23);
    TeLabel2->setGeometry(8, 66, 64, 21);
    PasswordEdit->setGeometry(76, 64, 127, 23);
    SavePropBox->setGeometry(8, 90, 195, 19);
    TeButton1->setGeometry(30, 110, 72, 23);
    TeButton2->setGeometry(110, 110, 72, 23);

    TeLabel1->setBuddy(UserEdit);
    TeLabel2->setBuddy(PasswordEdit);
    UserEdit->setMaxLength(MaxTextLength);
    PasswordEdit->setMaxLength(MaxTextLength);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    TeButton1->setDefault(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    connect(TeButton1, &QPushButton::clicked, this, &TAuthenticationForm::TeButton1Click);
    connect(TeButton2, &QPushButton::clicked, this, &TAuthenticationForm::TeButton2Click);
    Localize();
}

void TAuthenticationForm::Localize()
{
    setWindowTitle(QStringLiteral("Authentication"));
    TeLabel3->setText(QStringLiteral("Please enter your SOCKS/PROXY\nUsername and Password"));
    TeLabel1->setText(QStringLiteral("Username:"));
    TeLabel2->setText(QStringLiteral("Password:"));
    SavePropBox->setText(QStringLiteral("Save Username and Password"));
    TeButton1->setText(QStringLiteral("&OK"));
    TeButton2->setText(QStringLiteral("&Cancel"));
}

void TAuthenticationForm::keyPressEvent(QKeyEvent* Event)
{
    if (Event->matches(QKeySequence::Cancel)) {
        TeButton2Click();
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TAuthenticationForm::TeButton1Click()
{
    TFPSettings& options = FKrCore.FPOptions;
    options.UserName = UserEdit->text();
    options.Password = PasswordEdit->text();
    DialogResult = 1;
    if (SavePropBox->isChecked()) {
        // Refresh type, address and port from the engine but keep the
        // credentials just entered, then store the whole set.
        options.bCanSavePassword = true;
        FKrCore.ReadProxySettings();
        options.bCanSavePassword = false;
        FKrCore.WriteProxySettings();
    }
    accept();
}

void TAuthenticationForm::TeButton2Click()
{
    DialogResult = 2;
    reject();
}

int RunProxyAuthentication(TKrCore& KrCore, char* UserName, char* Password)
{
    if (!UserName || !Password)
        return 0;
    TAuthenticationForm form(KrCore);
    form.UserEdit->setText(EngineText(UserName, KR_PROXY_TEXT_SIZE));
    form.PasswordEdit->setText(EngineText(Password, KR_PROXY_TEXT_SIZE));
    form.exec();
    if (form.DialogResult != 1)
        return 0;
    WriteBuffer(UserName, KrCore.FPOptions.UserName);
    WriteBuffer(Password, KrCore.FPOptions.Password);
    return 2;
}
