#pragma once

#include "ui/SideWindow.h"

class THotListForm : public TSideWindow
{
    Q_OBJECT
public:
    explicit THotListForm(QWidget* Parent = nullptr);
};

extern THotListForm* HotListForm;
