#include "FrameOffline.h"

#include "platform/Resources.h"

#include <QLabel>

TOfflineFrame::TOfflineFrame(QWidget* Owner)
    : TKrFrame(Owner), Image1(new QLabel(this)), TeLabel3(new QLabel(this))
{
    resize(FrameWidth, FrameHeight);
    Image1->setGeometry(8, 4, 32, 32);
    if (ResourceExists(QStringLiteral("OFFLINE"))) {
        const QByteArray picture = TResources::Read(QStringLiteral("OFFLINE"));
        LoadPictureFromBuffer(Image1, picture.constData(), int(picture.size()),
                              QStringLiteral("PNG"));
    }
    TeLabel3->setGeometry(50, 5, 425, 36);
    TeLabel3->setWordWrap(true);
    Localize();
}

void TOfflineFrame::Localize()
{
    TeLabel3->setText(LoadLocalizedString(55132));
}
