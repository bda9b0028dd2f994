// The program entry.
#include "KrInstance.h"
#include "KrStrings.h"
#include "Splash.h"
#include "StartupValues.h"
#include "mainwindow/MainScreen.h"

#include <QApplication>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);

    LanguageModule = 0;
    StartupValues = {};
    MainWindowReady = false;

    auto splash = std::make_unique<TSplashForm>();
    SplashForm = splash.get();
    if (!splash->KrInstance1->CheckInstance())
        return 0;

    StartupValues = ParseCommandLine(application.arguments().mid(1));
    if (StartupValues.AutomationStart)
        StartupValues.StartHidden = true;
    if (!StartupValues.StartHidden) {
        splash->show();
        splash->repaint();
        QApplication::processEvents();
    }

    QApplication::setApplicationDisplayName(ReadResourceText(QStringLiteral("APPTITLE")));

    int result;
    {
        TMainForm mainForm;
        result = QApplication::exec();
    }
    SplashForm = nullptr;
    return result;
}
