#include "History.h"

THistoryForm* HistoryForm = nullptr;

THistoryForm::THistoryForm(QWidget* Parent)
    : TSideWindow(QStringLiteral("Call History"), {242, 500}, Parent)
{
}
