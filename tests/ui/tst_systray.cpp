#include "ui/SysTray.h"

#include <QMenu>
#include <QTest>
#include <stdexcept>

namespace {

// Every event of the tray as a line.
class TTrayLog
{
public:
    explicit TTrayLog(TSysTray& Tray)
    {
        const auto button = [](Qt::MouseButton Button) {
            return Button == Qt::LeftButton    ? QStringLiteral("left")
                   : Button == Qt::RightButton ? QStringLiteral("right")
                                               : QStringLiteral("middle");
        };
        Tray.OnClick = [this](TSysTray*) { Lines << QStringLiteral("click"); };
        Tray.OnDblClick = [this](TSysTray*) { Lines << QStringLiteral("double click"); };
        Tray.OnMouseMove = [this](TSysTray*) { Lines << QStringLiteral("move"); };
        Tray.OnMouseDown = [this, button](TSysTray*, Qt::MouseButton Button, bool Double) {
            Lines << QStringLiteral("down ") + button(Button) + (Double ? " double" : "");
        };
        Tray.OnMouseUp = [this, button](TSysTray*, Qt::MouseButton Button, bool) {
            Lines << QStringLiteral("up ") + button(Button);
        };
    }
    QStringList Lines;
};

} // namespace

class TestSysTray : public QObject
{
    Q_OBJECT
private slots:
    void hintIsCutAndTheSameHintChangesNothing();
    void mouseMessagesRaiseTheirEvents_data();
    void mouseMessagesRaiseTheirEvents();
    void popUpQueryDecidesOverTheMenu_data();
    void popUpQueryDecidesOverTheMenu();
    void destroyedMenuLeavesNoPopupMenu();
    void failingHandlerLeavesTheTrayUsable();
};

void TestSysTray::hintIsCutAndTheSameHintChangesNothing()
{
    TSysTray tray;
    tray.SetVisible(true); // no notification area offscreen: kept, nothing shown
    QVERIFY(tray.Visible());
    const int updates = tray.TrayUpdates();

    const QString hint = QString(80, QLatin1Char('x'));
    tray.SetHint(hint);
    QCOMPARE(tray.Hint(), hint.left(63));
    QCOMPARE(tray.TrayUpdates(), updates + 1);
    tray.SetHint(hint);
    tray.SetHint(hint.left(63));
    QCOMPARE(tray.TrayUpdates(), updates + 1);
    tray.SetHint(QStringLiteral("Tavrilo"));
    QCOMPARE(tray.TrayUpdates(), updates + 2);
}

void TestSysTray::mouseMessagesRaiseTheirEvents_data()
{
    QTest::addColumn<int>("message");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("move") << int(tmMouseMove) << QStringList{"move"};
    QTest::newRow("left down") << int(tmLButtonDown) << QStringList{"down left"};
    QTest::newRow("left up") << int(tmLButtonUp) << QStringList{"click", "up left"};
    QTest::newRow("left double") << int(tmLButtonDblClk)
                                 << QStringList{"double click", "down left double"};
    QTest::newRow("right down, no menu") << int(tmRButtonDown) << QStringList{"down right"};
    QTest::newRow("right up") << int(tmRButtonUp) << QStringList{"up right"};
    QTest::newRow("right double") << int(tmRButtonDblClk) << QStringList{"down right double"};
    QTest::newRow("middle down") << int(tmMButtonDown) << QStringList{"down middle"};
    QTest::newRow("middle up") << int(tmMButtonUp) << QStringList{"up middle"};
    QTest::newRow("middle double") << int(tmMButtonDblClk) << QStringList{"down middle double"};
}

void TestSysTray::mouseMessagesRaiseTheirEvents()
{
    QFETCH(int, message);
    QFETCH(QStringList, events);
    TSysTray tray;
    TTrayLog log(tray);
    tray.HandleTrayMessage(TTrayMouseMessage(message));
    QCOMPARE(log.Lines, events);
}

void TestSysTray::popUpQueryDecidesOverTheMenu_data()
{
    QTest::addColumn<bool>("handler");
    QTest::addColumn<bool>("answer");
    QTest::newRow("no handler") << false << true;
    QTest::newRow("allowed") << true << true;
    QTest::newRow("refused") << true << false;
}

void TestSysTray::popUpQueryDecidesOverTheMenu()
{
    QFETCH(bool, handler);
    QFETCH(bool, answer);
    TSysTray tray;
    TTrayLog log(tray);
    QMenu menu;
    menu.addAction(QStringLiteral("Restore"));
    tray.SetPopupMenu(&menu);
    if (handler)
        tray.OnPopUpQuery = [answer](TSysTray*, bool& PopUp) { PopUp = answer; };

    tray.HandleTrayMessage(tmRButtonDown);
    QCOMPARE(log.Lines, QStringList{"down right"});
    QCOMPARE(menu.isVisible(), answer);
    menu.close();
}

void TestSysTray::destroyedMenuLeavesNoPopupMenu()
{
    TSysTray tray;
    auto* menu = new QMenu;
    tray.SetPopupMenu(menu);
    QCOMPARE(tray.PopupMenu(), menu);
    delete menu;
    QCOMPARE(tray.PopupMenu(), nullptr);
    tray.HandleTrayMessage(tmRButtonDown);
}

void TestSysTray::failingHandlerLeavesTheTrayUsable()
{
    TSysTray tray;
    TTrayLog log(tray);
    tray.OnClick = [](TSysTray*) { throw std::runtime_error("handler failed"); };
    tray.HandleTrayMessage(tmLButtonUp);
    tray.HandleTrayMessage(tmLButtonDown);
    QCOMPARE(log.Lines, QStringList{"down left"});
}

QTEST_MAIN(TestSysTray)
#include "tst_systray.moc"
