#pragma once

#include "ui/SideWindow.h"

class THistoryForm : public TSideWindow
{
    Q_OBJECT
public:
    explicit THistoryForm(QWidget* Parent = nullptr);
};

extern THistoryForm* HistoryForm;
