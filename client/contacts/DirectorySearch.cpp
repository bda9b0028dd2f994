#include "DirectorySearch.h"

TSearchForm* SearchForm = nullptr;

TSearchForm::TSearchForm(QWidget* Parent)
    : TSideWindow(QStringLiteral("Directory Search"), {301, 498}, Parent)
{
}
