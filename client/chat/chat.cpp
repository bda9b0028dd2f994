#include "chat.h"

TChatForm* ChatForm = nullptr;

TChatForm::TChatForm(QWidget* Parent) : TSideWindow(QStringLiteral("Chat"), {317, 501}, Parent) {}
