#include "CameraSettingsDialog.h"

#include "TestPatternCamera.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSlider>

TCameraSettingsDialog::TCameraSettingsDialog(TTestPatternCamera& Camera, QWidget* Parent)
    : QDialog(Parent), FCamera(Camera), FBrightness(new QSlider(Qt::Horizontal, this)),
      FSpeed(new QSlider(Qt::Horizontal, this))
{
    setWindowTitle(tr("%1 Properties").arg(QLatin1String(TTestPatternCamera::DeviceName)));
    FBrightness->setObjectName(QStringLiteral("Brightness"));
    FBrightness->setRange(TTestPatternCamera::MinBrightness, TTestPatternCamera::MaxBrightness);
    FBrightness->setValue(Camera.Brightness());
    FSpeed->setObjectName(QStringLiteral("Speed"));
    FSpeed->setRange(0, TTestPatternCamera::MaxSpeed);
    FSpeed->setValue(Camera.Speed());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QFormLayout(this);
    layout->addRow(tr("&Brightness:"), FBrightness);
    layout->addRow(tr("&Speed:"), FSpeed);
    layout->addRow(buttons);
    setMinimumWidth(320);
}

void TCameraSettingsDialog::accept()
{
    FCamera.SetBrightness(FBrightness->value());
    FCamera.SetSpeed(FSpeed->value());
    QDialog::accept();
}
