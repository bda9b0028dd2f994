#include "Splash.h"

#include "KrInstance.h"
#include "KrStrings.h"
#include "mainwindow/MainScreen.h"
#include "platform/Resources.h"
#include "startup/StartupValues.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

TSplashForm* SplashForm = nullptr;

TSplashForm::TSplashForm(QWidget* Parent)
    : QWidget(Parent, Qt::SplashScreen | Qt::FramelessWindowHint), Image1(new QLabel(this)),
      KrInstance1(new TKrInstance(this))
{
    setFixedSize(ClientWidth, ClientHeight);
    setStyleSheet(QStringLiteral("background: black;"));
    Image1->setGeometry(0, 0, ClientWidth, ClientHeight);
    Image1->setScaledContents(true);
    if (ResourceExists(QStringLiteral("SPLASH"))) {
        const QByteArray picture = TResources::Read(QStringLiteral("SPLASH"));
        LoadPictureFromBuffer(Image1, picture.constData(), int(picture.size()),
                              QStringLiteral("JPEG"));
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    KrInstance1->ApplicationName = QStringLiteral("Mirelto_1_0_6");
    KrInstance1->Mode = imKillOld;
    KrInstance1->OnNotify = [this] { KrInstance1Notify(); };
}

void TSplashForm::KrInstance1Notify()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isMinimized())
            window->showNormal();
    if (MainWindowReady && MainForm)
        MainForm->RestoreFromTray();
}
