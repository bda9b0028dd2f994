#include "startup/KrStrings.h"
#include "video/FrameOffline.h"
#include "video/SelfPanel.h"
#include "video/SelfViewUnit.h"
#include "video/VideoPanel.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

namespace {

const QColor Cut(255, 0, 255);

// A glyph of Size filled with Fill, with a one-pixel border of the cut-out colour.
QImage BorderedGlyph(QSize Size, QColor Fill)
{
    QImage glyph(Size, QImage::Format_RGB32);
    glyph.fill(Cut);
    QPainter painter(&glyph);
    painter.fillRect(QRect(QPoint(1, 1), Size - QSize(2, 2)), Fill);
    return glyph;
}

QWidget* RedWindow(QSize Size)
{
    auto* window = new QWidget;
    window->resize(Size);
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    window->setPalette(red);
    window->setAutoFillBackground(true);
    return window;
}

void SendMouse(QWidget* Target, QEvent::Type Type, QPoint At, Qt::MouseButton Button)
{
    const Qt::MouseButtons held = Type == QEvent::MouseButtonRelease ? Qt::NoButton
                                  : Type == QEvent::MouseMove        ? Qt::MouseButtons(Button)
                                                                     : Button;
    QMouseEvent event(Type, At, Target->mapToGlobal(At),
                      Type == QEvent::MouseMove ? Qt::NoButton : Button, held, Qt::NoModifier);
    QApplication::sendEvent(Target, &event);
}

} // namespace

class TestVideoControls : public QObject
{
    Q_OBJECT
private slots:
    void regionLeavesOutTheTopLeftColour_data();
    void regionLeavesOutTheTopLeftColour();
    void borderNeitherShowsNorTakesClicks();
    void offlineNoticeShowsWhatIsBehindIt();
    void selfViewClosesByHidingAndTelling();
    void selfViewDragsWithTheLeftButtonOnly_data();
    void selfViewDragsWithTheLeftButtonOnly();
};

void TestVideoControls::regionLeavesOutTheTopLeftColour_data()
{
    QTest::addColumn<QImage>("glyph");
    QTest::addColumn<QRegion>("shape");

    QTest::newRow("bordered") << BorderedGlyph(QSize(10, 8), Qt::blue) << QRegion(1, 1, 8, 6);
    QImage holed = BorderedGlyph(QSize(6, 3), Qt::blue);
    holed.setPixelColor(3, 1, Cut);
    QTest::newRow("two runs in a row") << holed << (QRegion(1, 1, 2, 1) + QRegion(4, 1, 1, 1));
    QImage corner(3, 2, QImage::Format_RGB32);
    corner.fill(Qt::green);
    corner.setPixelColor(0, 0, Qt::black);
    QTest::newRow("only the corner is cut")
        << corner << QRegion(QRect(0, 0, 3, 2)).subtracted(QRegion(0, 0, 1, 1));
    QImage plain(4, 4, QImage::Format_RGB32);
    plain.fill(Cut);
    QTest::newRow("all one colour") << plain << QRegion();
    QTest::newRow("no picture") << QImage() << QRegion();
}

void TestVideoControls::regionLeavesOutTheTopLeftColour()
{
    QFETCH(QImage, glyph);
    QFETCH(QRegion, shape);
    TRegionButton button;
    button.SetGlyph(glyph);
    QCOMPARE(button.size(), glyph.size());
    QCOMPARE(button.Shape(), shape);
    QCOMPARE(button.mask(), shape);
    // Nothing of an empty shape may take the clicks of what is behind it.
    QCOMPARE(button.testAttribute(Qt::WA_TransparentForMouseEvents), shape.isEmpty());
}

void TestVideoControls::borderNeitherShowsNorTakesClicks()
{
    std::unique_ptr<QWidget> window(RedWindow(QSize(60, 40)));
    auto* button = new TRegionButton(window.get());
    button->move(10, 10);
    button->SetGlyph(BorderedGlyph(QSize(10, 8), Qt::blue));
    int clicks = 0;
    button->OnClick = [&clicks] { ++clicks; };
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    const QImage picture = window->grab().toImage();
    QCOMPARE(picture.pixelColor(10, 10), QColor(Qt::red));
    QCOMPARE(picture.pixelColor(15, 14), QColor(Qt::blue));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(0, 1));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(9, 4));
    QTest::mouseClick(button, Qt::RightButton, {}, QPoint(5, 4));
    QCOMPARE(clicks, 0);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 4));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(9, 4));
    QCOMPARE(clicks, 0);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 4));
    QCOMPARE(clicks, 1);
}

void TestVideoControls::offlineNoticeShowsWhatIsBehindIt()
{
    std::unique_ptr<QWidget> window(RedWindow(QSize(500, 60)));
    auto* frame = new TOfflineFrame(window.get());
    QCOMPARE(frame->size(), QSize(482, 44));
    QCOMPARE(frame->Image1->geometry(), QRect(8, 4, 32, 32));
    QCOMPARE(frame->Image1->pixmap().size(), QSize(32, 32));
    QCOMPARE(frame->TeLabel3->geometry(), QRect(50, 5, 425, 36));
    QCOMPARE(frame->TeLabel3->text(), LoadLocalizedString(55132));

    // Whatever colours or style sheet a skin gives it.
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QPalette green;
    green.setColor(QPalette::Window, Qt::green);
    frame->setPalette(green);
    QCOMPARE(window->grab().toImage().pixelColor(44, 40), QColor(Qt::red));
    window->setStyleSheet(QStringLiteral("TKrFrame { background: green; }"));
    QCOMPARE(window->grab().toImage().pixelColor(44, 40), QColor(Qt::red));
}

void TestVideoControls::selfViewClosesByHidingAndTelling()
{
    QWidget owner;
    auto* form = new TSelfMainForm(&owner);
    QCOMPARE(form->windowTitle(), LoadLocalizedString(55347));
    QVERIFY(form->windowFlags() & Qt::Tool);
    QCOMPARE(form->size(), QSize(168, 126));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->SelfVideoPanel->geometry(), QRect(4, 2, 160, 120));
    QCOMPARE(form->SelfVideoPanel->mapTo(form, QPoint(0, 0)), QPoint(4, 2));

    int closed = 0;
    form->OnClosed = [&closed] { ++closed; };
    QPointer<TSelfMainForm> alive(form);
    form->show();
    QVERIFY(form->close());
    QVERIFY(alive);
    QVERIFY(!form->isVisible());
    QCOMPARE(closed, 1);
}

void TestVideoControls::selfViewDragsWithTheLeftButtonOnly_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("moved");
    QTest::newRow("left") << Qt::LeftButton << QPoint(15, 20);
    QTest::newRow("right") << Qt::RightButton << QPoint(0, 0);
    QTest::newRow("middle") << Qt::MiddleButton << QPoint(0, 0);
}

void TestVideoControls::selfViewDragsWithTheLeftButtonOnly()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, moved);
    TSelfMainForm form;
    form.move(100, 100);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QPoint start = form.pos();
    TVideoPanel* panel = form.SelfVideoPanel;

    SendMouse(panel, QEvent::MouseButtonPress, QPoint(10, 10), button);
    SendMouse(panel, QEvent::MouseMove, QPoint(25, 30), button);
    QTRY_COMPARE(form.pos(), start + moved);
    SendMouse(panel, QEvent::MouseButtonRelease, QPoint(25, 30), button);
    SendMouse(panel, QEvent::MouseMove, QPoint(50, 50), Qt::NoButton);
    QTest::qWait(20);
    QCOMPARE(form.pos(), start + moved);
}

QTEST_MAIN(TestVideoControls)
#include "tst_videocontrols.moc"
