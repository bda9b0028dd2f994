#pragma once

#include "KrFrame.h"
#include "startup/KrStrings.h"

class QLabel;

// The notice that the server cannot be reached.
class TOfflineFrame : public TKrFrame, public TLocalizable
{
    Q_OBJECT
public:
    explicit TOfflineFrame(QWidget* Owner = nullptr);

    void Localize() override;

    QLabel* Image1;
    QLabel* TeLabel3;

    static constexpr int FrameWidth = 482;
    static constexpr int FrameHeight = 44;
};
