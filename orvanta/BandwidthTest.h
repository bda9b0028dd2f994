#pragma once

#include "orvanta.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

// The bandwidth test: measures the link to the server in steps and reports
// each step to the client's window (KR_WM_BANDWIDTH_TEST, LParam the state:
// running, KR_BWT_DONE or KR_BWT_FAILED). The client reads the result record
// with Result() after each message.
class TBandwidthTest : public QObject
{
public:
    using TPoster = std::function<bool(KrWindow, uint32_t, intptr_t, intptr_t)>;
    // Whether the server can be reached now, and the measured rates in bytes
    // per second; the demo service answers these without a network.
    struct TLinkProbe
    {
        std::function<bool()> Connected;
        std::function<qint32()> OutBytesPerSecond;
        std::function<qint32()> InBytesPerSecond;
    };

    static constexpr int Steps = 20;
    static constexpr int StepMs = 150;
    static constexpr intptr_t Running = 1;

    TBandwidthTest(TPoster Poster, TLinkProbe Probe);

    bool Start(KrWindow Window); // false while a test runs
    void Stop();                 // the test ends with its final message
    bool IsRunning() const { return FWindow != 0; }
    void SetWizard(bool On) { FWizard = On; }
    bool Wizard() const { return FWizard; }

    // The record of KR_BWT_RESULT_SIZE bytes, as of the last message.
    QByteArray Result() const { return FRecord; }

private:
    void Step();
    void Finish(intptr_t State, const char* Text);
    void SetText(const char* Text);
    void SetInt(int Offset, qint32 Value);

    TPoster FPoster;
    TLinkProbe FProbe;
    QTimer FTimer;
    KrWindow FWindow = 0;
    int FStep = 0;
    bool FWizard = false;
    QByteArray FRecord;
};
