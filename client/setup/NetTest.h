#pragma once

#include "ui/SideWindow.h"

class TNetTestForm : public TSideWindow
{
    Q_OBJECT
public:
    explicit TNetTestForm(QWidget* Parent = nullptr);
};

extern TNetTestForm* NetTestForm;
