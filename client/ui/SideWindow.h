#pragma once

#include <QWidget>

// A window that lives for the whole run beside the main window and is only
// shown and hidden (chat, call history, address book, directory search,
// network test). Closing it hides it.
class TSideWindow : public QWidget
{
    Q_OBJECT
public:
    TSideWindow(const QString& Caption, QSize ClientSize, QWidget* Parent = nullptr);
};
