#include "TestSupport.h"
#include "video/VideoPanel.h"

#include <QTest>
#include <stdexcept>

namespace {

// What the render procedure was called with.
struct TRenderCall
{
    HWND Window = 0;
    uint32_t Msg = 0;
    LPARAM LParam = 0;
    intptr_t UserData = 0; // the window's user data during the call
    QSize Target;          // of a paint
};

QList<TRenderCall> RenderCalls;
bool RenderThrows = false;

// Paints the target pure red, as the engine writes its pixels: blue, green,
// red and an unused 0.
intptr_t RecordingProc(KrWindow Window, uint32_t Msg, intptr_t, intptr_t LParam)
{
    TRenderCall call{Window, Msg, LParam, GetWindowUserData(Window), {}};
    if (Msg == KR_RENDER_PAINT) {
        const auto* target = reinterpret_cast<const KrPaintTarget*>(LParam);
        call.Target = QSize(target->Width, target->Height);
        for (int y = 0; y < target->Height; ++y)
            for (int x = 0; x < target->Width; ++x) {
                uint8_t* pixel = target->Bits + y * target->Stride + x * 4;
                pixel[0] = 0;
                pixel[1] = 0;
                pixel[2] = 255;
                pixel[3] = 0;
            }
    }
    RenderCalls << call;
    if (RenderThrows)
        throw std::runtime_error("engine trouble");
    return 1;
}

QList<uint32_t> Messages()
{
    QList<uint32_t> messages;
    for (const TRenderCall& call : RenderCalls)
        messages << call.Msg;
    return messages;
}

// A hidden panel hears of its size again with every grab: only paints count.
QList<TRenderCall> Paints()
{
    QList<TRenderCall> paints;
    for (const TRenderCall& call : RenderCalls)
        if (call.Msg == KR_RENDER_PAINT)
            paints << call;
    return paints;
}

constexpr intptr_t Instance = 42;

} // namespace

class TestVideoPanel : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        RenderCalls.clear();
        RenderThrows = false;
    }

    void startRenderNeedsProcAndInstance_data();
    void startRenderNeedsProcAndInstance();
    void paintGoesToTheProcWithTheInstanceAsUserData();
    void throwingProcIsSurvived();
    void frameAnnouncementRepaints();
    void sizeAndOwnerMovesReachTheProcOnlyWhileRendering();
};

void TestVideoPanel::startRenderNeedsProcAndInstance_data()
{
    QTest::addColumn<bool>("proc");
    QTest::addColumn<intptr_t>("instance");
    QTest::addColumn<bool>("rendering");
    QTest::newRow("neither") << false << intptr_t(0) << false;
    QTest::newRow("no instance") << true << intptr_t(0) << false;
    QTest::newRow("no proc") << false << Instance << false;
    QTest::newRow("both") << true << Instance << true;
}

void TestVideoPanel::startRenderNeedsProcAndInstance()
{
    QFETCH(bool, proc);
    QFETCH(intptr_t, instance);
    QFETCH(bool, rendering);
    TVideoPanel panel;
    QCOMPARE(panel.size(), QSize(320, 240));
    panel.SetRenderProc(proc ? &RecordingProc : nullptr, instance);
    panel.StartRender();
    QCOMPARE(panel.Rendering(), rendering);
    const QImage picture = panel.grab().toImage();
    QCOMPARE(picture.pixel(160, 120), rendering ? qRgb(255, 0, 0) : qRgb(0, 0, 0));
    QCOMPARE(Paints().size(), rendering ? 1 : 0);
    if (!rendering)
        QVERIFY(RenderCalls.isEmpty());
}

void TestVideoPanel::paintGoesToTheProcWithTheInstanceAsUserData()
{
    TVideoPanel panel;
    panel.resize(200, 100);
    SetWindowUserData(panel.WindowHandle(), 7);
    panel.SetRenderProc(&RecordingProc, Instance);
    QVERIFY(panel.dwProc() == &RecordingProc);
    QCOMPARE(panel.dwInstance(), Instance);
    panel.StartRender();

    const QImage picture = panel.grab().toImage();
    QCOMPARE(Paints().size(), 1);
    const TRenderCall paint = Paints().first();
    QCOMPARE(paint.Window, panel.WindowHandle());
    QCOMPARE(paint.Target, QSize(200, 100));
    QCOMPARE(paint.UserData, Instance);
    QCOMPARE(GetWindowUserData(panel.WindowHandle()), intptr_t(7));
    QCOMPARE(picture.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(picture.pixel(199, 99), qRgb(255, 0, 0));

    panel.StopRender();
    RenderCalls.clear();
    QCOMPARE(panel.grab().toImage().pixel(100, 50), qRgb(0, 0, 0));
    QVERIFY(RenderCalls.isEmpty());
}

void TestVideoPanel::throwingProcIsSurvived()
{
    TVideoPanel panel;
    SetWindowUserData(panel.WindowHandle(), 7);
    panel.SetRenderProc(&RecordingProc, Instance);
    panel.StartRender();
    RenderThrows = true;
    panel.grab();
    panel.resize(100, 80);
    QVERIFY(Messages().contains(KR_RENDER_PAINT));
    QVERIFY(Messages().contains(KR_RENDER_SIZE));
    QCOMPARE(GetWindowUserData(panel.WindowHandle()), intptr_t(7));

    RenderThrows = false;
    QVERIFY(panel.Rendering());
    QCOMPARE(panel.grab().toImage().pixel(50, 40), qRgb(255, 0, 0));
}

void TestVideoPanel::frameAnnouncementRepaints()
{
    TVideoPanel panel;
    panel.SetRenderProc(&RecordingProc, Instance);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    panel.StartRender();
    QTRY_VERIFY(Messages().contains(KR_RENDER_PAINT));
    RenderCalls.clear();
    QVERIFY(PostMessage(panel.WindowHandle(), KR_WM_RENDER_FRAME, Instance, 0));
    QTRY_COMPARE(Messages(), QList<uint32_t>{KR_RENDER_PAINT});
}

void TestVideoPanel::sizeAndOwnerMovesReachTheProcOnlyWhileRendering()
{
    QWidget window;
    window.resize(400, 300);
    window.move(10, 10);
    auto* panel = new TVideoPanel(&window);
    panel->SetRenderProc(&RecordingProc, Instance);
    panel->StartRender();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);
    RenderCalls.clear();

    panel->resize(160, 120);
    QCOMPARE(RenderCalls.size(), 1);
    QCOMPARE(RenderCalls.first().Msg, uint32_t(KR_RENDER_SIZE));
    QCOMPARE(RenderCalls.first().LParam, LPARAM(160 | (120 << 16)));
    QCOMPARE(RenderCalls.first().UserData, Instance);

    window.move(90, 70);
    QTRY_VERIFY(Messages().contains(KR_RENDER_MOVE));
    const TRenderCall move = RenderCalls.at(int(Messages().indexOf(KR_RENDER_MOVE)));
    QCOMPARE(move.Window, panel->WindowHandle());
    QCOMPARE(move.UserData, Instance);
    QCOMPARE(move.LParam, LPARAM(90 | (70 << 16)));

    panel->StopRender();
    QTest::qWait(50);
    RenderCalls.clear();
    panel->resize(100, 100);
    window.move(30, 30);
    panel->grab();
    QTest::qWait(50);
    QCOMPARE(RenderCalls.size(), 0);
}

QTEST_MAIN(TestVideoPanel)
#include "tst_videopanel.moc"
