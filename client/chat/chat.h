#pragma once

#include "ui/SideWindow.h"

class TChatForm : public TSideWindow
{
    Q_OBJECT
public:
    explicit TChatForm(QWidget* Parent = nullptr);
};

extern TChatForm* ChatForm;
