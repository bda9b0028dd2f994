#pragma once

#include "ui/SideWindow.h"

class TSearchForm : public TSideWindow
{
    Q_OBJECT
public:
    explicit TSearchForm(QWidget* Parent = nullptr);
};

extern TSearchForm* SearchForm;
