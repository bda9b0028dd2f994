#include "HotList.h"

THotListForm* HotListForm = nullptr;

THotListForm::THotListForm(QWidget* Parent)
    : TSideWindow(QStringLiteral("Address Book"), {301, 498}, Parent)
{
}
