// Grabs pictures of the main window for the documentation: idle, calling and
// in a conference, on the engine's demo service, offscreen.
//   krshots FOLDER
#include "mainwindow/MainScreen.h"
#include "orvanta_demo.h"
#include "platform/Paths.h"
#include "tools/DemoProfile.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 10000)
{
    QDeadlineTimer deadline(TimeoutMs);
    while (!Done()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

bool Save(QWidget& Window, const QString& Path)
{
    QApplication::processEvents();
    if (!Window.grab().save(Path)) {
        std::fprintf(stderr, "krshots: cannot write %s\n", qPrintable(Path));
        return false;
    }
    std::printf("%s\n", qPrintable(Path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: krshots FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(folder);

    // A fresh user whose first run is over, so no first-run pages come up.
    QTemporaryDir root;
    qputenv(TPaths::RootVariable, root.path().toLocal8Bit());
    TDemoProfile::MarkFirstRunDone();
    TDemoProfile::SelectTestCamera();
    // The echo peer answers after a while, so the calling state can be seen.
    TOrvantaDemo::SetTimings(1500, 60000, 60000, 60000);

    TMainForm form;
    form.show();
    if (!WaitFor([&] { return form.StatusMode() == 1; }))
        return 1;
    form.KrCore->Login(QStringLiteral("alice@demo.pellory"), QStringLiteral("alice"), false);
    if (!WaitFor([&] { return form.StatusMode() == 2; }))
        return 1;
    if (!Save(form, folder + QStringLiteral("/mainwindow-idle.png")))
        return 1;

    form.CallingID->setEditText(QStringLiteral("echo@demo.pellory"));
    form.ActionConnect->trigger();
    WaitFor([] { return false; }, 300);
    if (form.StatusMode() != 3 || !Save(form, folder + QStringLiteral("/mainwindow-calling.png")))
        return 1;

    if (!WaitFor([&] { return form.StatusMode() == 4; }))
        return 1;
    WaitFor([] { return false; }, 1500); // a few frames of the echoed picture
    form.CallTimerTimer();
    form.StatTimerTimer();
    if (!Save(form, folder + QStringLiteral("/mainwindow-conference.png")))
        return 1;
    form.ActionDisconnect->trigger();
    WaitFor([&] { return form.StatusMode() == 2; });
    return 0;
}
