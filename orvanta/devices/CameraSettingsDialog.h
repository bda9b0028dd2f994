#pragma once

#include <QDialog>

class QSlider;
class TTestPatternCamera;

// The built-in camera's own settings: brightness and the speed of the sweep.
// They take effect when the dialog is accepted.
class TCameraSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TCameraSettingsDialog(TTestPatternCamera& Camera, QWidget* Parent = nullptr);

    void accept() override;

private:
    TTestPatternCamera& FCamera;
    QSlider* FBrightness;
    QSlider* FSpeed;
};
