#pragma once

#include "startup/KrStrings.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QAction;
class QComboBox;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QTextCursor;
class QTimer;
class QToolButton;
class TKrCore;

// The text chat beside a conference. The whole conversation is kept as one
// HTML document (UTF-8 bytes, style header first, no closing tags); that is
// what Save writes. The view follows the document line by line instead of
// re-reading it, so a long conversation stays cheap to extend.
class TChatForm : public QWidget, public TLocalizable
{
    Q_OBJECT
public:
    explicit TChatForm(QWidget* Parent = nullptr);
    ~TChatForm() override;

    void Localize() override;

    // Bound to TKrCore::OnMessage.
    void ReceiveMessage(TKrCore* Sender, bool bSystem, const QString& MessageString,
                        const QString& UserName);
    // Sends Text as it is while a conference runs, then follows the address
    // from its fourth character on (or shows the transcript).
    void PushURL(const QString& Text);
    // Puts the colour of own lines into the styles.
    void ApplyColor();
    void SetColor(const QColor& Value) { FColor = Value; }
    QColor Color() const { return FColor; }
    // Conference start (true) and end (false).
    void SetInputEnabled(bool Enabled);

    // Writes the document into Path; tells the user and answers false when
    // the file cannot be written.
    bool SaveDocument(const QString& Path);
    QByteArray Document() const { return FDocument; }
    // True while the view shows a followed address instead of the transcript.
    bool ShowingPage() const { return FShowingPage; }
    // True while an address is being fetched.
    bool Navigating() const { return !FPendingReply.isNull(); }

    void SendButtonClick();
    void SaveButtonClick();
    void ClearChatButtonClick();
    void ColorButtonClick();
    void FontSizeEditChange();

    TKrCore* KrCore = nullptr;
    QAction* ChatAction = nullptr;
    // Longest wait for a followed address before the transcript comes back.
    int NavigateTimeoutMs = 10000;

    QTextBrowser* HTMLBrowser;
    QPlainTextEdit* ChatEdit;
    QToolButton* SendButton;
    QToolButton* SaveButton;
    QToolButton* ClearChatButton;
    QLabel* SizeLabel;
    QComboBox* FontSizeEdit;
    QLabel* ColorLabel;
    QToolButton* ColorButton;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FormResize();
    void PaintColorGlyph();
    void AppendFragment(const QByteArray& Fragment);
    void RebuildHeader();
    // Shows the transcript: redraws it when the view does not hold it.
    void ShowDocument();
    void RenderDocument();
    void AppendToView(QTextCursor& Cursor, const QByteArray& Fragment);
    void ScrollToEnd();
    void Navigate(const QString& Address);
    void CancelNavigation();
    void NavigationFinished(QNetworkReply* Reply);

    QStringList FHeader;
    QByteArray FDocument;
    qint64 FHeaderLength = 0;
    // Sizes of the body's fragments, in order, so the view can be rebuilt.
    QList<qsizetype> FFragmentSizes;
    QColor FColor = Qt::black;
    bool FViewCurrent = false;
    bool FShowingPage = false;
    bool FEnterPressed = false;
    QUrl FPageUrl;
    QNetworkAccessManager* FNetwork = nullptr;
    QPointer<QNetworkReply> FPendingReply;
    QTimer* FNavigateTimer;
};

extern TChatForm* ChatForm;
