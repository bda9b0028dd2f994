#include "TestSupport.h"
#include "orvanta.h"
#include "orvanta_demo.h"
#include "platform/Messages.h"

#include <QTest>
#include <vector>

namespace {

const char* const Camera = "Test Pattern Camera";
// 75 % yellow, the second of the test pattern's bars, and 75 % blue, the last.
const QRgb Yellow = qRgb(191, 191, 0);
const QRgb Blue = qRgb(0, 0, 191);

struct TValue
{
    TValue() { KrVariantInit(&V); }
    ~TValue() { KrVariantClear(&V); }
    KrVariant V;
};

// A panel window: counts the frames it is told of.
struct TPanel
{
    TPanel()
        : Window([this](TMessage& Message) {
              if (Message.Msg == KR_WM_RENDER_FRAME)
                  Announced.push_back(Message.WParam);
          })
    {
    }
    HWND Handle() const { return Window.Handle(); }
    TMessageTarget Window;
    std::vector<intptr_t> Announced;
};

// Pixels as the panel hands them over, filled with a mark that no drawing makes.
struct TPixels
{
    TPixels(int Width, int Height, int Stride)
        : Bytes(size_t(qMax(0, Stride) * qMax(0, Height) + 16), 0xAB), Target{Bytes.data(), Width,
                                                                              Height, Stride}
    {
    }
    QRgb At(int X, int Y) const
    {
        const uint8_t* pixel = Bytes.data() + Y * Target.Stride + X * 4;
        return qRgb(pixel[2], pixel[1], pixel[0]);
    }
    bool Untouched() const
    {
        return std::all_of(Bytes.begin(), Bytes.end(), [](uint8_t Byte) { return Byte == 0xAB; });
    }
    std::vector<uint8_t> Bytes;
    KrPaintTarget Target;
};

// Calls the render procedure as the panel does: the render instance is the
// window's user data for the duration of the call.
intptr_t Forward(KrRenderProc Proc, HWND Panel, intptr_t Instance, uint32_t Msg, intptr_t WParam,
                 intptr_t LParam)
{
    const intptr_t previous = SetWindowUserData(Panel, Instance);
    const intptr_t result = Proc(Panel, Msg, WParam, LParam);
    SetWindowUserData(Panel, previous);
    return result;
}

void Paint(KrRenderProc Proc, HWND Panel, intptr_t Instance, TPixels& Pixels)
{
    Forward(Proc, Panel, Instance, KR_RENDER_PAINT, 0, reinterpret_cast<intptr_t>(&Pixels.Target));
}

// A bar's colour, or the white bar sweeping over it.
bool IsBar(QRgb Pixel, QRgb Bar)
{
    return Pixel == Bar || Pixel == qRgb(255, 255, 255);
}

bool HasColour(const TPixels& Pixels)
{
    for (int y = 0; y < Pixels.Target.Height; ++y)
        for (int x = 0; x < Pixels.Target.Width; ++x)
            if (Pixels.At(x, y) != qRgb(0, 0, 0))
                return true;
    return false;
}

// Runs GetImage on Path into a buffer of the size small asks for.
int32_t GetImage(KrInstance Engine, const char* Path, bool Small, std::vector<uint8_t>& Buffer)
{
    Buffer.assign(Small ? 160 * 120 * 4 : 320 * 240 * 4, 0xAB);
    TValue request;
    KrVariantSetArray(&request.V, 2);
    request.V.Value.Array[0].Type = KrVtInteger;
    request.V.Value.Array[0].Value.Integer = reinterpret_cast<intptr_t>(Buffer.data());
    request.V.Value.Array[1].Type = KrVtBoolean;
    request.V.Value.Array[1].Value.Boolean = Small;
    return KrProcess(Engine, KR_OP_GET, Path, &request.V);
}

QRgb BufferPixel(const std::vector<uint8_t>& Buffer, int Width, int X, int Row)
{
    const uint8_t* pixel = Buffer.data() + (Row * Width + X) * 4;
    return qRgb(pixel[2], pixel[1], pixel[0]);
}

int32_t RunHandle(KrInstance Engine, const char* Path, HWND Window)
{
    TValue value;
    value.V.Type = KrVtUnsigned;
    value.V.Value.Unsigned = quint64(Window);
    return KrProcess(Engine, KR_OP_RUN, Path, &value.V);
}

} // namespace

class TestMedia : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void startSenderFlags_data();
    void startSenderFlags();
    void paintsTheCameraIntoThePanel();
    void badPaintTargetsAndUnknownInstancesPaintNothing_data();
    void badPaintTargetsAndUnknownInstancesPaintNothing();
    void framesAreAnnouncedWithoutFlooding();
    void getImageFillsTheBufferBottomUp_data();
    void getImageFillsTheBufferBottomUp();
    void getImageRefusesBadRequests();
    void resetWindowMovesRendering();
    void stopSenderStopsFrames();
    void receiversNeedACall();
    void echoedPicturesReachTheReceiver();

private:
    // Starts the sender on the test pattern into Panel.
    void StartCamera(TPanel& Panel);

    std::unique_ptr<TTestPlatformRoot> FRoot;
    KrInstance FEngine = 0;
    KrRenderProc FProc = nullptr;
    intptr_t FInstance = 0;
};

void TestMedia::init()
{
    FRoot = std::make_unique<TTestPlatformRoot>();
    FEngine = KrInitialize(nullptr, 0, "Orvanta\\Tavrilo");
    QVERIFY(FEngine != 0);
    FProc = nullptr;
    FInstance = 0;
}

void TestMedia::cleanup()
{
    KrRelease(FEngine);
    FRoot.reset();
}

void TestMedia::StartCamera(TPanel& Panel)
{
    QCOMPARE(
        KrStartSender(FEngine, nullptr, Camera, Panel.Handle(), &FProc, &FInstance, 320, 240, 8000),
        0);
    QVERIFY(FProc != nullptr);
    QVERIFY(FInstance != 0);
}

void TestMedia::startSenderFlags_data()
{
    QTest::addColumn<QByteArray>("microphone"); // "-" for none given
    QTest::addColumn<QByteArray>("camera");
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("frames");
    QTest::newRow("camera") << QByteArray("-") << QByteArray(Camera) << 0 << true;
    QTest::newRow("both") << QByteArray("Tone Generator") << QByteArray(Camera) << 0 << true;
    QTest::newRow("no camera given") << QByteArray("-") << QByteArray("-") << 0 << false;
    QTest::newRow("camera none") << QByteArray("-") << QByteArray("None") << 0 << false;
    QTest::newRow("unknown camera")
        << QByteArray("-") << QByteArray("No Such Camera") << 0x1 << false;
    QTest::newRow("unknown microphone")
        << QByteArray("No Such Mic") << QByteArray(Camera) << 0x2 << true;
}

void TestMedia::startSenderFlags()
{
    QFETCH(QByteArray, microphone);
    QFETCH(QByteArray, camera);
    QFETCH(int, flags);
    QFETCH(bool, frames);

    TPanel panel;
    const auto given = [](const QByteArray& Name) {
        return Name == "-" ? nullptr : Name.constData();
    };
    QCOMPARE(KrStartSender(FEngine, given(microphone), given(camera), panel.Handle(), &FProc,
                           &FInstance, 320, 240, 8000),
             flags);
    // Even without a picture the panel gets a renderer: it paints black.
    QVERIFY(FProc != nullptr);
    QVERIFY(FInstance != 0);
    if (frames) {
        QTRY_VERIFY(!panel.Announced.empty());
        QCOMPARE(panel.Announced.front(), FInstance);
    } else {
        QTest::qWait(300);
        QVERIFY(panel.Announced.empty());
        TPixels pixels(32, 24, 32 * 4);
        Paint(FProc, panel.Handle(), FInstance, pixels);
        QVERIFY(!pixels.Untouched());
        QVERIFY(!HasColour(pixels));
    }
}

void TestMedia::paintsTheCameraIntoThePanel()
{
    TPanel panel;
    StartCamera(panel);
    QTRY_VERIFY(!panel.Announced.empty());

    // A row longer than the width, as panels have.
    TPixels pixels(320, 240, 320 * 4 + 64);
    Paint(FProc, panel.Handle(), FInstance, pixels);
    QVERIFY(IsBar(pixels.At(68, 40), Yellow));
    QVERIFY(IsBar(pixels.At(297, 40), Blue));
    QCOMPARE(pixels.Bytes[40 * pixels.Target.Stride + 297 * 4 + 3], uint8_t(0));
    QCOMPARE(pixels.Bytes[40 * pixels.Target.Stride + 320 * 4], uint8_t(0xAB)); // past the width
    QCOMPARE(GetWindowUserData(panel.Handle()), intptr_t(0));

    // Moves and sizes are taken without harm.
    Forward(FProc, panel.Handle(), FInstance, KR_RENDER_MOVE, 0, 0);
    Forward(FProc, panel.Handle(), FInstance, KR_RENDER_SIZE, 0, (120 << 16) | 160);

    // Smooth scaling into another size, without colour.
    QCOMPARE(KrForceBicubic(FEngine, 1), 0);
    QCOMPARE(KrSetSaturation(FEngine, 0), 0);
    TPixels grey(160, 120, 160 * 4);
    Paint(FProc, panel.Handle(), FInstance, grey);
    const QRgb bar = grey.At(34, 20);
    QVERIFY(qRed(bar) == qGreen(bar) && qGreen(bar) == qBlue(bar));
    QVERIFY(qRed(bar) > 100);

    QCOMPARE(KrSetSaturation(FEngine, 201), -1);
    QCOMPARE(KrSetSaturation(FEngine, 100), 0);
    Paint(FProc, panel.Handle(), FInstance, grey);
    QVERIFY(IsBar(grey.At(34, 20), Yellow));
}

void TestMedia::badPaintTargetsAndUnknownInstancesPaintNothing_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("stride");
    QTest::addColumn<bool>("nullBits");
    QTest::addColumn<int>("instance"); // 0 the sender's, -1 none, 1 a released one, 2 never made
    QTest::newRow("no pixels") << 32 << 24 << 128 << true << 0;
    QTest::newRow("zero width") << 0 << 24 << 128 << false << 0;
    QTest::newRow("negative height") << 32 << -24 << 128 << false << 0;
    QTest::newRow("short rows") << 32 << 24 << 127 << false << 0;
    QTest::newRow("negative stride") << 32 << 24 << -128 << false << 0;
    QTest::newRow("huge") << 100000 << 2 << 400000 << false << 0;
    QTest::newRow("no instance") << 32 << 24 << 128 << false << -1;
    QTest::newRow("released instance") << 32 << 24 << 128 << false << 1;
    QTest::newRow("unknown instance") << 32 << 24 << 128 << false << 2;
}

void TestMedia::badPaintTargetsAndUnknownInstancesPaintNothing()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, stride);
    QFETCH(bool, nullBits);
    QFETCH(int, instance);

    TPanel panel;
    StartCamera(panel);
    QTRY_VERIFY(!panel.Announced.empty());
    intptr_t used = FInstance;
    if (instance == -1)
        used = 0;
    else if (instance == 2)
        used = FInstance + 100000;
    else if (instance == 1) {
        intptr_t released = 0;
        KrRenderProc proc = nullptr;
        TPanel other;
        QCOMPARE(KrStartSender(FEngine, nullptr, Camera, other.Handle(), &proc, &released, 320, 240,
                               8000),
                 0);
        QVERIFY(released != FInstance); // the first renderer went with the restart
        used = FInstance;
    }

    // The area is only as large as the target claims when that is sane.
    TPixels pixels(width, height, qBound(0, stride, 4096));
    pixels.Target.Stride = stride;
    if (nullBits)
        pixels.Target.Bits = nullptr;
    QCOMPARE(Forward(FProc, panel.Handle(), used, KR_RENDER_PAINT, 0,
                     reinterpret_cast<intptr_t>(&pixels.Target)),
             intptr_t(0));
    QVERIFY(pixels.Untouched());
    // Nor do other messages or a missing target do anything.
    Forward(FProc, panel.Handle(), used, KR_RENDER_PAINT, 0, 0);
    Forward(FProc, panel.Handle(), used, KR_RENDER_SIZE, 0, -1);
    Forward(FProc, panel.Handle(), used, KR_RENDER_MOVE, 0, -1);
    FProc(0, KR_RENDER_PAINT, 0, reinterpret_cast<intptr_t>(&pixels.Target)); // no such window
    QVERIFY(pixels.Untouched());
}

void TestMedia::framesAreAnnouncedWithoutFlooding()
{
    TPanel panel;
    StartCamera(panel);
    QTRY_COMPARE(panel.Announced.size(), size_t(1));
    // The camera delivers 15 frames a second; the panel has not painted.
    QTest::qWait(700);
    QCOMPARE(panel.Announced.size(), size_t(1));
    // A panel that never paints is reminded, but rarely.
    QTest::qWait(1500);
    QVERIFY(panel.Announced.size() >= 2 && panel.Announced.size() <= 3);

    // Once painted, the next frame is announced again.
    const size_t before = panel.Announced.size();
    TPixels pixels(32, 24, 32 * 4);
    Paint(FProc, panel.Handle(), FInstance, pixels);
    QTRY_VERIFY_WITH_TIMEOUT(panel.Announced.size() == before + 1, 1000);
    QTest::qWait(300);
    QCOMPARE(panel.Announced.size(), before + 1);
}

void TestMedia::getImageFillsTheBufferBottomUp_data()
{
    QTest::addColumn<bool>("small");
    QTest::addColumn<int>("width");
    QTest::newRow("320 x 240") << false << 320;
    QTest::newRow("160 x 120") << true << 160;
}

void TestMedia::getImageFillsTheBufferBottomUp()
{
    QFETCH(bool, small);
    QFETCH(int, width);
    const int height = width * 3 / 4;

    TPanel panel;
    StartCamera(panel);
    QTRY_VERIFY(!panel.Announced.empty());

    std::vector<uint8_t> buffer;
    QCOMPARE(GetImage(FEngine, "Sender\\Render\\GetImage", small, buffer), 0);
    // A bar near the top of the picture lies near the end of the buffer; the
    // same place counted from the start is in the grey ramp below the bars.
    const int x = width * 3 / 14;
    const int y = height / 6;
    QVERIFY(IsBar(BufferPixel(buffer, width, x, height - 1 - y), Yellow));
    QVERIFY(!IsBar(BufferPixel(buffer, width, x, y), Yellow));
    QCOMPARE(buffer[size_t((height - 1 - y) * width + x) * 4 + 3], uint8_t(0));
    QVERIFY(std::none_of(buffer.begin(), buffer.end(), [](uint8_t B) { return B == 0xAB; }));
}

void TestMedia::getImageRefusesBadRequests()
{
    std::vector<uint8_t> buffer;
    // No sender, no picture.
    QCOMPARE(GetImage(FEngine, "Sender\\Render\\GetImage", false, buffer), -1);

    TPanel panel;
    StartCamera(panel);
    QTRY_VERIFY(!panel.Announced.empty());
    const auto request = [this](int Count, int AddressType, int64_t Address, int SmallType) {
        TValue value;
        KrVariantSetArray(&value.V, Count);
        if (Count > 0) {
            value.V.Value.Array[0].Type = AddressType;
            value.V.Value.Array[0].Value.Integer = Address;
        }
        if (Count > 1)
            value.V.Value.Array[1].Type = SmallType;
        return KrProcess(FEngine, KR_OP_GET, "Sender\\Render\\GetImage", &value.V);
    };
    QCOMPARE(request(2, KrVtInteger, 0, KrVtBoolean), -1);
    QCOMPARE(request(1, KrVtInteger, 1234, KrVtBoolean), -1);
    QCOMPARE(request(2, KrVtString, 0, KrVtBoolean), -1);
    QCOMPARE(request(2, KrVtInteger, 1234, KrVtInteger), -1);
    TValue text;
    KrVariantSetString(&text.V, "x");
    QCOMPARE(KrProcess(FEngine, KR_OP_GET, "Sender\\Render\\GetImage", &text.V), -1);
    QCOMPARE(GetImage(FEngine, "Sender\\Render\\GetImage", false, buffer), 0);

    TValue capability;
    QCOMPARE(KrProcess(FEngine, KR_OP_GET, "Sender\\Render\\GetCapability", &capability.V), 0);
    QCOMPARE(capability.V.Type, int32_t(KrVtBoolean));
    QCOMPARE(capability.V.Value.Boolean, 0);
}

void TestMedia::resetWindowMovesRendering()
{
    TPanel first;
    TPanel second;
    StartCamera(first);
    QTRY_VERIFY(!first.Announced.empty());
    QCOMPARE(RunHandle(FEngine, "Sender\\ResetWindow", second.Handle()), 0);
    QTRY_VERIFY(!second.Announced.empty());
    QCOMPARE(second.Announced.front(), FInstance);

    const size_t toFirst = first.Announced.size();
    TPixels pixels(320, 240, 320 * 4);
    Paint(FProc, second.Handle(), FInstance, pixels);
    QVERIFY(IsBar(pixels.At(68, 40), Yellow));
    QTRY_VERIFY(second.Announced.size() >= 2);
    QCOMPARE(first.Announced.size(), toFirst);

    TValue wrong;
    KrVariantSetString(&wrong.V, "window");
    QCOMPARE(KrProcess(FEngine, KR_OP_RUN, "Sender\\ResetWindow", &wrong.V), -1);
}

void TestMedia::stopSenderStopsFrames()
{
    TPanel panel;
    StartCamera(panel);
    QTRY_VERIFY(!panel.Announced.empty());
    QCOMPARE(KrStopSender(FEngine), 0);
    QCoreApplication::processEvents();
    const size_t announced = panel.Announced.size();
    TPixels pixels(32, 24, 32 * 4);
    Paint(FProc, panel.Handle(), FInstance, pixels);
    QVERIFY(pixels.Untouched());
    QTest::qWait(1300);
    QCOMPARE(panel.Announced.size(), announced);
    std::vector<uint8_t> buffer;
    QCOMPARE(GetImage(FEngine, "Sender\\Render\\GetImage", false, buffer), -1);
    QCOMPARE(RunHandle(FEngine, "Sender\\ResetWindow", panel.Handle()), -1);
    QCOMPARE(KrStopSender(FEngine), 0);
    QCOMPARE(KrStopSender(FEngine + 1000), -1);

    KrRenderProc proc = reinterpret_cast<KrRenderProc>(1);
    intptr_t instance = 1;
    QCOMPARE(KrStartSender(FEngine + 1000, nullptr, Camera, panel.Handle(), &proc, &instance, 320,
                           240, 8000),
             0x3);
    QVERIFY(proc == nullptr);
    QCOMPARE(instance, intptr_t(0));
}

void TestMedia::receiversNeedACall()
{
    TPanel panel;
    TValue connect;
    KrVariantSetArray(&connect.V, 3);
    for (int i = 0; i < 3; ++i)
        connect.V.Value.Array[i].Type = KrVtInteger;
    connect.V.Value.Array[0].Value.Integer = panel.Handle();
    QCOMPARE(KrProcess(FEngine, KR_OP_RUN, "Receivers\\ConnectReceiver", &connect.V), -1);
    QCOMPARE(connect.V.Type, int32_t(KrVtArray)); // left as it was
    QCOMPARE(connect.V.Count, 3);

    TValue name;
    KrVariantSetString(&name.V, "nobody>");
    QCOMPARE(KrProcess(FEngine, KR_OP_RUN, "Receivers\\DisconnectReceiver", &name.V), -1);
    std::vector<uint8_t> buffer;
    QCOMPARE(GetImage(FEngine, "Receivers\\nobody>\\Render\\GetImage", false, buffer), -1);
    TValue format;
    QCOMPARE(KrProcess(FEngine, KR_OP_GET, "Receivers\\nobody>\\Format", &format.V), -1);

    int32_t sent = -1;
    int32_t received = -1;
    QCOMPARE(KrGetTraffic(FEngine, &sent, &received), 0);
    QCOMPARE(sent, 0);
    QCOMPARE(received, 0);
    QCOMPARE(KrGetTraffic(FEngine + 1000, &sent, &received), -1);
}

void TestMedia::echoedPicturesReachTheReceiver()
{
    TOrvantaDemo::SetTimings(100, 60000, 60000, 60000);
    quint32 status = 0;
    TMessageTarget window([&status](TMessage& Message) {
        if (Message.Msg == KR_WM_STATUS)
            status = quint32(Message.WParam);
    });
    KrRelease(FEngine);
    FEngine = KrInitialize(nullptr, window.Handle(), "Orvanta\\Tavrilo");
    QTRY_VERIFY(status & KR_STATUS_CONNECTED);
    QCOMPARE(KrLoginToServer(FEngine, "alice@demo.pellory", "alice", 0), 0);
    QTRY_VERIFY(status & KR_STATUS_LOGGED_IN);

    TPanel own;
    StartCamera(own);
    QCOMPARE(KrConnectSender(FEngine, window.Handle(), 0), 0);
    TValue call;
    KrVariantSetArray(&call.V, 2);
    call.V.Value.Array[0].Type = KrVtInteger;
    KrVariantSetString(&call.V.Value.Array[1], "echo@demo.pellory");
    QCOMPARE(KrProcess(FEngine, KR_OP_RUN, "Protocol\\Call", &call.V), 0);
    QTRY_VERIFY(status & KR_STATUS_LINK_UP);

    TPanel peer;
    TValue connect;
    KrVariantSetArray(&connect.V, 3);
    for (int i = 0; i < 3; ++i)
        connect.V.Value.Array[i].Type = KrVtInteger;
    connect.V.Value.Array[0].Value.Integer = peer.Handle();
    connect.V.Value.Array[1].Value.Integer = window.Handle();
    QCOMPARE(KrProcess(FEngine, KR_OP_RUN, "Receivers\\ConnectReceiver", &connect.V), 0);
    QCOMPARE(connect.V.Type, int32_t(KrVtArray));
    QCOMPARE(connect.V.Count, 2);
    QCOMPARE(connect.V.Value.Array[0].Type, int32_t(KrVtInteger));
    auto proc = reinterpret_cast<KrRenderProc>(intptr_t(connect.V.Value.Array[0].Value.Integer));
    const intptr_t instance = intptr_t(connect.V.Value.Array[1].Value.Integer);
    QVERIFY(proc == FProc);
    QVERIFY(instance != 0 && instance != FInstance);

    // The echo user sends our pictures back.
    QTRY_VERIFY(!peer.Announced.empty());
    QCOMPARE(peer.Announced.front(), instance);
    TPixels pixels(320, 240, 320 * 4);
    Paint(proc, peer.Handle(), instance, pixels);
    QVERIFY(IsBar(pixels.At(68, 40), Yellow));

    const char* const prefix = "Receivers\\echo@demo.pellory>\\";
    const auto path = [prefix](const char* Rest) { return QByteArray(prefix) + Rest; };
    std::vector<uint8_t> buffer;
    QCOMPARE(GetImage(FEngine, path("Render\\GetImage").constData(), true, buffer), 0);
    QVERIFY(IsBar(BufferPixel(buffer, 160, 34, 119 - 20), Yellow));

    TValue format;
    QCOMPARE(KrProcess(FEngine, KR_OP_GET, path("Format").constData(), &format.V), 0);
    QCOMPARE(format.V.Count, 3);
    QCOMPARE(format.V.Value.Array[0].Value.Integer, 320);
    QCOMPARE(format.V.Value.Array[1].Value.Integer, 240);
    TValue quality;
    QCOMPARE(
        KrProcess(FEngine, KR_OP_GET, path("RenderAudio\\AudioQuality").constData(), &quality.V),
        0);
    QVERIFY(quality.V.Value.Integer >= 0 && quality.V.Value.Integer <= 6);
    TValue unknown;
    QCOMPARE(KrProcess(FEngine, KR_OP_GET, path("NoSuchThing").constData(), &unknown.V), -1);

    int32_t sent = 0;
    int32_t received = 0;
    QTRY_VERIFY(KrGetTraffic(FEngine, &sent, &received) == 0 && sent > 0 && received > 0);

    TPanel moved;
    QCOMPARE(RunHandle(FEngine, path("ResetWindow").constData(), moved.Handle()), 0);
    QTRY_VERIFY(!moved.Announced.empty());
    QCOMPARE(moved.Announced.front(), instance);

    // No longer sent: nothing comes back.
    QCOMPARE(KrDisconnectSender(FEngine), 0);
    QTest::qWait(300);
    const size_t announced = moved.Announced.size();
    Paint(proc, moved.Handle(), instance, pixels); // would ask for the next frame
    QTest::qWait(1300);
    QCOMPARE(moved.Announced.size(), announced);
    QTRY_VERIFY(KrGetTraffic(FEngine, &sent, &received) == 0 && sent == 0 && received == 0);

    TValue name;
    KrVariantSetString(&name.V, "echo@demo.pellory>");
    QCOMPARE(KrProcess(FEngine, KR_OP_RUN, "Receivers\\DisconnectReceiver", &name.V), 0);
    QCOMPARE(GetImage(FEngine, path("Render\\GetImage").constData(), true, buffer), -1);
    TPixels none(32, 24, 32 * 4);
    Paint(proc, moved.Handle(), instance, none);
    QVERIFY(none.Untouched());
    // Exact paths below the prefix still reach their owners.
    TValue playback;
    QCOMPARE(KrProcess(FEngine, KR_OP_GET, "Receivers\\PlaybackDevice", &playback.V), 0);

    QCOMPARE(KrHangupProtocolConnect(FEngine, 0), 0);
    QTRY_VERIFY(!(status & KR_STATUS_LINK_UP));
}

QTEST_MAIN(TestMedia)
#include "tst_media.moc"
