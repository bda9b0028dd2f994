#include "NetTest.h"

TNetTestForm* NetTestForm = nullptr;

TNetTestForm::TNetTestForm(QWidget* Parent)
    : TSideWindow(QStringLiteral("Network Test"), {340, 332}, Parent)
{
}
