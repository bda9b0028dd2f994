#pragma once

#include <QWidget>

class QLabel;
class TKrInstance;

// The window shown while the program starts; it also carries the guard that
// keeps a single instance running, and so lives until the program ends.
class TSplashForm : public QWidget
{
    Q_OBJECT
public:
    explicit TSplashForm(QWidget* Parent = nullptr);

    static constexpr int ClientWidth = 406;
    static constexpr int ClientHeight = 268;

    QLabel* Image1;
    TKrInstance* KrInstance1;

    // Another start of the program asked this one to come forward.
    void KrInstance1Notify();
};

extern TSplashForm* SplashForm;
