#include "BandwidthTest.h"

#include <QtEndian>
#include <cstring>

namespace {

// Offsets in the result record.
enum TResultOffset {
    roText = 0,
    roTerm1 = 256,
    roTerm2 = 260,
    roOutBytesPerSecond = 280,
    roInBytesPerSecond = 284,
    roTerm3 = 288,
    roTerm4 = 292,
    roTerm5 = 296,
    roTerm6 = 300,
    roPercent = 304,
};

constexpr int TextSize = 256;

} // namespace

TBandwidthTest::TBandwidthTest(TPoster Poster, TLinkProbe Probe)
    : FPoster(std::move(Poster)), FProbe(std::move(Probe)), FRecord(KR_BWT_RESULT_SIZE, '\0')
{
    FTimer.setInterval(StepMs);
    connect(&FTimer, &QTimer::timeout, this, [this] { Step(); });
}

void TBandwidthTest::SetText(const char* Text)
{
    std::memset(FRecord.data() + roText, 0, TextSize);
    std::strncpy(FRecord.data() + roText, Text, TextSize - 1);
}

void TBandwidthTest::SetInt(int Offset, qint32 Value)
{
    qToLittleEndian<qint32>(Value, FRecord.data() + Offset);
}

bool TBandwidthTest::Start(KrWindow Window)
{
    if (IsRunning() || Window == 0)
        return false;
    FRecord.fill('\0');
    FWindow = Window;
    FStep = 0;
    SetText("Connecting to the server...");
    FPoster(FWindow, KR_WM_BANDWIDTH_TEST, 0, Running);
    FTimer.start();
    return true;
}

void TBandwidthTest::Stop()
{
    if (!IsRunning())
        return;
    Finish(FStep > 0 ? KR_BWT_DONE : KR_BWT_FAILED, "Test stopped.");
}

void TBandwidthTest::Step()
{
    if (!FProbe.Connected || !FProbe.Connected()) {
        Finish(KR_BWT_FAILED, "Unable to connect to the server.");
        return;
    }
    ++FStep;
    // Out first, then in; each rate settles as the measurement goes on.
    const bool measuringOut = FStep <= Steps / 2;
    if (measuringOut)
        SetInt(roOutBytesPerSecond, FProbe.OutBytesPerSecond());
    else
        SetInt(roInBytesPerSecond, FProbe.InBytesPerSecond());
    // Round trips in milliseconds as the latency terms: two added pairs and
    // one subtracted pair, as the client combines them.
    SetInt(roTerm1, 20 + FStep % 3);
    SetInt(roTerm2, 18);
    SetInt(roTerm3, 4);
    SetInt(roTerm4, 6);
    SetInt(roTerm5, 9);
    SetInt(roTerm6, 11);
    SetInt(roPercent, FStep * 100 / Steps);
    if (FStep >= Steps) {
        Finish(KR_BWT_DONE, "Test finished.");
        return;
    }
    SetText(measuringOut ? "Measuring the output rate..." : "Measuring the input rate...");
    FPoster(FWindow, KR_WM_BANDWIDTH_TEST, 0, Running);
}

void TBandwidthTest::Finish(intptr_t State, const char* Text)
{
    FTimer.stop();
    SetText(Text);
    const KrWindow window = FWindow;
    FWindow = 0;
    FPoster(window, KR_WM_BANDWIDTH_TEST, 0, State);
}
