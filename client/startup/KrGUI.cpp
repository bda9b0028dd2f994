// The program entry.
#include "KrInstance.h"
#include "KrStrings.h"
#include "Splash.h"
#include "StartupValues.h"
#include "chat/chat.h"
#include "contacts/DirectorySearch.h"
#include "contacts/History.h"
#include "contacts/HotList.h"
#include "mainwindow/MainScreen.h"
#include "setup/NetTest.h"

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

    // The side windows live for the whole run; the main window places them.
    const auto chat = std::make_unique<TChatForm>();
    const auto history = std::make_unique<THistoryForm>();
    const auto hotList = std::make_unique<THotListForm>();
    const auto search = std::make_unique<TSearchForm>();
    const auto netTest = std::make_unique<TNetTestForm>();
    ChatForm = chat.get();
    HistoryForm = history.get();
    HotListForm = hotList.get();
    SearchForm = search.get();
    NetTestForm = netTest.get();

    QApplication::setApplicationDisplayName(ReadResourceText(QStringLiteral("APPTITLE")));
    // The window may live in the tray with nothing shown; only closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    int result;
    {
        TMainForm mainForm;
        mainForm.BindEngineWindow();
        result = QApplication::exec();
    }
    ChatForm = nullptr;
    HistoryForm = nullptr;
    HotListForm = nullptr;
    SearchForm = nullptr;
    NetTestForm = nullptr;
    SplashForm = nullptr;
    return result;
}
