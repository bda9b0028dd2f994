#include "MainScreen.h"

#include "startup/KrStrings.h"
#include "startup/Splash.h"
#include "startup/StartupValues.h"

#include <QCloseEvent>

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(QWidget* Parent) : QMainWindow(Parent)
{
    MainForm = this;
    FormCreate();
}

TMainForm::~TMainForm()
{
    MainWindowReady = false;
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::FormCreate()
{
    setWindowTitle(ReadResourceText(QStringLiteral("FULLNAME")));
    resize(482, 420);
    MainWindowReady = true;
    if (SplashForm)
        SplashForm->close();
    if (!StartupValues.StartHidden)
        show();
}

void TMainForm::RestoreFromTray()
{
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TMainForm::closeEvent(QCloseEvent* Event)
{
    MainWindowClosing = true;
    MainWindowReady = false;
    QMainWindow::closeEvent(Event);
}
