#pragma once

#include <QIcon>
#include <QList>
#include <QWidget>

class QLabel;

// One panel of the main window's status bar: a picture and a text at a set
// width; a panel of width 0 is not shown.
class TStatusPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TStatusPanel(QWidget* Parent);

    void SetText(const QString& Text);
    QString Text() const;
    void SetImage(int Index, const QList<QIcon>& Images); // -1: none
    int ImageIndex() const { return FImageIndex; }
    void SetPanelWidth(int Width);
    int PanelWidth() const { return FWidth; }

private:
    QLabel* FImage;
    QLabel* FText;
    int FImageIndex = -1;
    int FWidth = 0;
};
