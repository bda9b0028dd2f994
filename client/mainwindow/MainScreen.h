#pragma once

#include <QMainWindow>

// The main window. For now it only carries the product name, finishes the
// start-up (closes the splash window) and can be brought forward.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* Parent = nullptr);
    ~TMainForm() override;

    // Shows the window (also when it was hidden in the tray) and brings it to the front.
    void RestoreFromTray();

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void FormCreate();
};

// The program's main window, while it exists.
extern TMainForm* MainForm;
