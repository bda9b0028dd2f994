#include "MessageDlg.h"

#include "startup/KrStrings.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>

namespace {

struct TScriptState
{
    TKrMessageDlg::TScript Script;
    QList<TShownMessage> Shown;
};

TScriptState& Scripted()
{
    static TScriptState state;
    return state;
}

QString DefaultCaption(TMsgDlgType DlgType)
{
    if (DlgType == mtWarning)
        return LoadLocalizedString(55191); // "Warning"
    return ReadResourceText(QStringLiteral("APPNAME"));
}

int AnswerWhenClosed(TMsgDlgButtons Buttons)
{
    if (Buttons & mbCancel)
        return mrCancel;
    if (Buttons & mbNo)
        return mrNo;
    return mrOk;
}

} // namespace

int TKrMessageDlg::MessageDlg(const QString& Text, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                              const QString& Caption) const
{
    if (Buttons == 0)
        Buttons = mbOK;
    const TShownMessage message{Caption.isEmpty() ? DefaultCaption(DlgType) : Caption, Text,
                                DlgType, Buttons};
    if (auto& state = Scripted(); state.Script) {
        state.Shown.append(message);
        return state.Script(message);
    }

    static constexpr QMessageBox::Icon Icons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                                  QMessageBox::Information, QMessageBox::Question};
    QMessageBox box(Icons[DlgType], message.Caption, Text, QMessageBox::NoButton, FOwner);
    const struct
    {
        TMsgDlgBtn Button;
        int Result;
        int TextId;
        const char* Fallback;
        QMessageBox::ButtonRole Role;
    } choices[] = {
        {mbYes, mrYes, 55211, "&Yes", QMessageBox::YesRole},
        {mbNo, mrNo, 55212, "&No", QMessageBox::NoRole},
        {mbOK, mrOk, 0, "OK", QMessageBox::AcceptRole},
        {mbCancel, mrCancel, 55214, "&Cancel", QMessageBox::RejectRole},
    };
    QList<std::pair<QAbstractButton*, int>> results;
    for (const auto& choice : choices) {
        if (!(Buttons & choice.Button))
            continue;
        QString caption = choice.TextId ? LoadLocalizedString(choice.TextId) : QString();
        if (caption.isEmpty())
            caption = QString::fromLatin1(choice.Fallback);
        QPushButton* button = box.addButton(caption, choice.Role);
        if (results.isEmpty())
            box.setDefaultButton(button);
        results.append({button, choice.Result});
    }
    box.exec();
    for (const auto& [button, result] : results)
        if (box.clickedButton() == button)
            return result;
    return AnswerWhenClosed(Buttons);
}

void TKrMessageDlg::InstallScript(TScript Script)
{
    Scripted().Script = std::move(Script);
}

void TKrMessageDlg::RemoveScript()
{
    Scripted().Script = nullptr;
}

QList<TShownMessage> TKrMessageDlg::ShownMessages()
{
    return Scripted().Shown;
}

void TKrMessageDlg::ClearShownMessages()
{
    Scripted().Shown.clear();
}
