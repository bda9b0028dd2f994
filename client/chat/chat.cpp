#include "chat.h"

#include "engine/KrClient.h"
#include "ui/MessageDlg.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScrollBar>
#include <QStringDecoder>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <utility>

TChatForm* ChatForm = nullptr;

namespace {

const char* const InitialHeader[] = {
    "<HTML><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=utf-8\"><STYLE TYPE=\"text/css\">",
    ".my{font-family:arial;",
    "color:008000;font-size:14",
    "}",
    ".other{font-family:arial;",
    "color:0000ff;font-size:14",
    "}",
    ".host{font-family:arial;",
    "color:0000ff;font-size:14",
    "}",
    ".ad{font-family:arial;",
    "color:ff0000;font-size:14",
    "}",
    ".sup{font-family:arial;",
    "color:0000ff;font-size:14",
    "}",
    "</STYLE></head>",
    "<BODY BGCOLOR=ffffff>",
};

constexpr int OwnRuleLine = 2;
constexpr int RuleLines[] = {2, 5, 8, 11, 14};
constexpr int EditHeight = 57;
constexpr int ButtonSize = 26;
// A followed page larger than this is not shown.
constexpr qint64 MaxPageBytes = 4 * 1024 * 1024;

const char* const FontSizes[] = {"8",  "9",  "10", "11", "12", "14", "16", "18",
                                 "20", "22", "24", "26", "28", "36", "48", "72"};

// A peer's client marks host lines with three 0xB8 bytes; they reach us as
// Latin-1 text.
const QString HostMark(3, QChar(0xB8));

QByteArray Escaped(const QString& Text)
{
    return Text.toHtmlEscaped().toUtf8();
}

QByteArray OwnLine(const QString& Name, const QString& Text)
{
    return "<FONT class=\"my\"><U>" + (Name.isEmpty() ? QByteArray("My") : Escaped(Name)) +
           ":</U> <B>" + Escaped(Text) + "<BR></B></FONT>";
}

QByteArray SystemLine(const QString& Name, const QString& Text)
{
    return "<FONT class=\"ad\"><B>" + Escaped(Name) + ":<BR>" + Escaped(Text) + "</B></FONT><BR>";
}

QByteArray PartyLine(const char* Class, const QString& Name, const QString& Text)
{
    return QByteArray("<FONT class=\"") + Class + "\"><U>" + Escaped(Name) + ":</U> <B>" +
           Escaped(Text) + "</B></FONT><BR>";
}

// The document's style rules are written the way browsers read them leniently
// ("color:008000", sizes without a unit); the view's parser needs them strict.
QString ViewStyleSheet(const QStringList& Header)
{
    static const QRegularExpression colour(QStringLiteral("color:([0-9A-Fa-f]{6})"));
    static const QRegularExpression size(QStringLiteral("font-size:(\\d+)"));
    QString css = Header.mid(1, 15).join(QString());
    css.replace(colour, QStringLiteral("color:#\\1"));
    css.replace(size, QStringLiteral("font-size:\\1px"));
    return css;
}

// The view's document never loads anything by itself: neither the transcript
// nor a followed page may pull in pictures, style sheets or local files.
class TChatDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

TChatForm::TChatForm(QWidget* Parent) : QWidget(Parent, Qt::Window)
{
    HTMLBrowser = new QTextBrowser(this);
    HTMLBrowser->setDocument(new TChatDocument(HTMLBrowser));
    HTMLBrowser->setOpenLinks(false);
    HTMLBrowser->document()->setUndoRedoEnabled(false);
    connect(HTMLBrowser, &QTextBrowser::anchorClicked, this, [this](const QUrl& Link) {
        if (FShowingPage)
            Navigate(FPageUrl.resolved(Link).toString());
    });

    ChatEdit = new QPlainTextEdit(this);
    ChatEdit->setStyleSheet(QStringLiteral("QPlainTextEdit { background: white; }"));
    ChatEdit->resize(ChatEdit->width(), EditHeight);
    ChatEdit->installEventFilter(this);

    auto toolButton = [this](QStyle::StandardPixmap Icon) {
        auto button = new QToolButton(this);
        button->setAutoRaise(true);
        if (Icon != QStyle::SP_CustomBase)
            button->setIcon(style()->standardIcon(Icon));
        button->resize(ButtonSize, ButtonSize);
        return button;
    };
    SendButton = toolButton(QStyle::SP_ArrowRight);
    SaveButton = toolButton(QStyle::SP_DialogSaveButton);
    ClearChatButton = toolButton(QStyle::SP_DialogResetButton);
    ColorButton = toolButton(QStyle::SP_CustomBase);
    connect(SendButton, &QToolButton::clicked, this, &TChatForm::SendButtonClick);
    connect(SaveButton, &QToolButton::clicked, this, &TChatForm::SaveButtonClick);
    connect(ClearChatButton, &QToolButton::clicked, this, &TChatForm::ClearChatButtonClick);
    connect(ColorButton, &QToolButton::clicked, this, &TChatForm::ColorButtonClick);

    SizeLabel = new QLabel(this);
    ColorLabel = new QLabel(this);
    FontSizeEdit = new QComboBox(this);
    for (const char* size : FontSizes)
        FontSizeEdit->addItem(QString::fromLatin1(size));
    FontSizeEdit->setCurrentIndex(-1);
    FontSizeEdit->adjustSize();
    connect(FontSizeEdit, &QComboBox::currentIndexChanged, this, &TChatForm::FontSizeEditChange);

    FNavigateTimer = new QTimer(this);
    FNavigateTimer->setSingleShot(true);
    connect(FNavigateTimer, &QTimer::timeout, this, [this] {
        if (FPendingReply)
            FPendingReply->abort();
    });

    SetInputEnabled(false);
    for (const char* line : InitialHeader)
        FHeader << QString::fromLatin1(line);
    RebuildHeader();
    RenderDocument();
    PaintColorGlyph();

    setMinimumSize(250, 250);
    resize(317, 501);
    Localize();
}

TChatForm::~TChatForm()
{
    CancelNavigation();
}

void TChatForm::Localize()
{
    setWindowTitle(LoadLocalizedString(55189));
    SendButton->setToolTip(LoadLocalizedString(54978));
    SaveButton->setToolTip(LoadLocalizedString(54979));
    ClearChatButton->setToolTip(LoadLocalizedString(55007));
    SizeLabel->setText(LoadLocalizedString(54977));
    ColorLabel->setText(LoadLocalizedString(54976));
    SizeLabel->adjustSize();
    ColorLabel->adjustSize();
    FormResize();
}

void TChatForm::SetInputEnabled(bool Enabled)
{
    ChatEdit->setEnabled(Enabled);
    ChatEdit->setReadOnly(!Enabled);
    SendButton->setEnabled(Enabled);
}

// ---- Lines -------------------------------------------------------------------

void TChatForm::ReceiveMessage(TKrCore*, bool bSystem, const QString& MessageString,
                               const QString& UserName)
{
    if (!isVisible())
        show();
    const QStringView prefix = QStringView(MessageString).left(3);
    if (prefix == u"###") {
        const QString address = MessageString.mid(3);
        if (address.isEmpty())
            ShowDocument();
        else
            Navigate(address);
        return;
    }
    if (bSystem)
        AppendFragment(SystemLine(UserName, MessageString));
    else if (prefix == HostMark)
        AppendFragment(PartyLine("host", UserName, MessageString.mid(3)));
    else
        AppendFragment(PartyLine("other", UserName, MessageString));
}

void TChatForm::SendButtonClick()
{
    QString text;
    const QStringList lines = ChatEdit->toPlainText().split(QLatin1Char('\n'));
    for (const QString& line : lines)
        text += line;
    if (!text.isEmpty()) {
        if (!KrCore)
            return;
        KrCore->SendChatMessage(text);
        AppendFragment(OwnLine(KrCore->MyDisplayName(), text));
    }
    ChatEdit->clear();
    ChatEdit->setFocus();
}

bool TChatForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == ChatEdit &&
        (Event->type() == QEvent::KeyPress || Event->type() == QEvent::KeyRelease)) {
        const auto key = static_cast<QKeyEvent*>(Event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            ChatEdit->isEnabled()) {
            // Enter never breaks the line; its release sends, but only when the
            // press came here too (not to a dialog that closed on it).
            if (Event->type() == QEvent::KeyPress) {
                FEnterPressed = true;
            } else if (!key->isAutoRepeat() && std::exchange(FEnterPressed, false)) {
                SendButtonClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(Watched, Event);
}

void TChatForm::PushURL(const QString& Text)
{
    if (SendButton->isEnabled() && KrCore)
        KrCore->SendChatMessage(Text);
    const QString address = Text.mid(3);
    if (address.isEmpty())
        ShowDocument();
    else
        Navigate(address);
}

void TChatForm::AppendFragment(const QByteArray& Fragment)
{
    FDocument += Fragment;
    FFragmentSizes << Fragment.size();
    if (FViewCurrent) {
        QTextCursor cursor(HTMLBrowser->document());
        cursor.beginEditBlock();
        AppendToView(cursor, Fragment);
        cursor.endEditBlock();
    }
    ShowDocument();
}

// ---- Styles ------------------------------------------------------------------

void TChatForm::ApplyColor()
{
    QString& rule = FHeader[OwnRuleLine];
    const qsizetype rest = rule.indexOf(QLatin1Char(';'));
    rule = QStringLiteral("color:") +
           QString::asprintf("%02X%02X%02X", FColor.red(), FColor.green(), FColor.blue()) +
           (rest >= 0 ? rule.mid(rest) : QString());

    PaintColorGlyph();
    RebuildHeader();
    FViewCurrent = false;
    ShowDocument();
}

void TChatForm::PaintColorGlyph()
{
    QPixmap glyph(21, 21);
    glyph.fill(Qt::transparent);
    QPainter(&glyph).fillRect(QRect(QPoint(2, 2), QPoint(18, 18)), FColor);
    ColorButton->setIcon(glyph);
    ColorButton->setIconSize(glyph.size());
}

void TChatForm::ColorButtonClick()
{
    const QColor colour = QColorDialog::getColor(FColor, this);
    if (!colour.isValid())
        return;
    FColor = colour;
    ApplyColor();
}

void TChatForm::FontSizeEditChange()
{
    const int index = FontSizeEdit->currentIndex();
    if (index < 0)
        return;
    const QString size = FontSizeEdit->itemText(index);
    for (int line : RuleLines) {
        QString& rule = FHeader[line];
        const qsizetype at = rule.indexOf(QLatin1String("size:"));
        if (at >= 0)
            rule = rule.left(at + 5) + size;
    }
    RebuildHeader();
    FViewCurrent = false;
    ShowDocument();
}

void TChatForm::RebuildHeader()
{
    const QByteArray body = FDocument.mid(FHeaderLength);
    FDocument.clear();
    for (const QString& line : std::as_const(FHeader))
        FDocument += line.toUtf8();
    FHeaderLength = FDocument.size();
    FDocument += body;
}

// ---- Saving and clearing -----------------------------------------------------

void TChatForm::SaveButtonClick()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("htm"));
    dialog.setNameFilter(QStringLiteral("HTML (*.htm *.html)"));
    dialog.selectFile(QStringLiteral("chat.html"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        SaveDocument(dialog.selectedFiles().constFirst());
}

bool TChatForm::SaveDocument(const QString& Path)
{
    QSaveFile file(Path);
    file.setDirectWriteFallback(true);
    if (file.open(QIODevice::WriteOnly) && file.write(FDocument) == FDocument.size() &&
        file.commit())
        return true;
    TKrMessageDlg(this).MessageDlg(QStringLiteral("Cannot create file \"%1\". %2")
                                       .arg(QDir::toNativeSeparators(Path), file.errorString()),
                                   mtError, mbOK);
    return false;
}

void TChatForm::ClearChatButtonClick()
{
    FHeaderLength = 0;
    FDocument.clear();
    FFragmentSizes.clear();
    RebuildHeader();
    FViewCurrent = false;
    ShowDocument();
}

// ---- The view ----------------------------------------------------------------

void TChatForm::ShowDocument()
{
    CancelNavigation();
    if (!FViewCurrent)
        RenderDocument();
    ScrollToEnd();
}

void TChatForm::RenderDocument()
{
    QTextDocument* document = HTMLBrowser->document();
    document->clear();
    document->setDefaultStyleSheet(ViewStyleSheet(FHeader));
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    qsizetype at = FHeaderLength;
    for (qsizetype size : std::as_const(FFragmentSizes)) {
        AppendToView(cursor, QByteArray::fromRawData(FDocument.constData() + at, size));
        at += size;
    }
    cursor.endEditBlock();
    FShowingPage = false;
    FViewCurrent = true;
}

// Each line gets a paragraph of its own in the view, in place of its closing
// line break: appending to one ever-growing paragraph would lay out the whole
// transcript again for every line.
void TChatForm::AppendToView(QTextCursor& Cursor, const QByteArray& Fragment)
{
    QTextDocument* document = HTMLBrowser->document();
    Cursor.movePosition(QTextCursor::End);
    if (!document->isEmpty())
        Cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    Cursor.insertHtml(QString::fromUtf8(Fragment));
    if (Cursor.position() > Cursor.block().position() &&
        document->characterAt(Cursor.position() - 1) == QChar::LineSeparator)
        Cursor.deletePreviousChar();
}

void TChatForm::ScrollToEnd()
{
    QTextDocument* document = HTMLBrowser->document();
    // Lays the document out up to its end, so the scroll range is complete.
    document->documentLayout()->blockBoundingRect(document->lastBlock());
    HTMLBrowser->horizontalScrollBar()->setValue(0);
    HTMLBrowser->verticalScrollBar()->setValue(HTMLBrowser->verticalScrollBar()->maximum());
}

// ---- Followed addresses ------------------------------------------------------

void TChatForm::Navigate(const QString& Address)
{
    CancelNavigation();
    const QUrl url(Address, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") ||
        url.host().isEmpty()) {
        ShowDocument();
        return;
    }
    if (!FNetwork)
        FNetwork = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(NavigateTimeoutMs);
    QNetworkReply* reply = FNetwork->get(request);
    FPendingReply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 Received, qint64) {
        if (Received > MaxPageBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { NavigationFinished(reply); });
    FNavigateTimer->start(NavigateTimeoutMs);
}

void TChatForm::CancelNavigation()
{
    FNavigateTimer->stop();
    if (QNetworkReply* reply = FPendingReply) {
        FPendingReply = nullptr;
        reply->abort();
        reply->deleteLater();
    }
}

void TChatForm::NavigationFinished(QNetworkReply* Reply)
{
    Reply->deleteLater();
    if (Reply != FPendingReply)
        return;
    FPendingReply = nullptr;
    FNavigateTimer->stop();

    if (Reply->error() != QNetworkReply::NoError) {
        ShowDocument();
        return;
    }
    const int status = Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl url = Reply->url();
    const QByteArray data = Reply->readAll();
    const QString contentType = Reply->header(QNetworkRequest::ContentTypeHeader).toString();
    const QString mimeType = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
    const bool html =
        mimeType.isEmpty() || mimeType == u"text/html" || mimeType == u"application/xhtml+xml";
    if (status < 200 || status > 299 || (url.scheme() != u"http" && url.scheme() != u"https") ||
        data.size() > MaxPageBytes || (!html && mimeType != u"text/plain")) {
        ShowDocument();
        return;
    }

    static const QRegularExpression charsetParameter(
        QStringLiteral("charset\\s*=\\s*\"?([^\";\\s]+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString charset = charsetParameter.match(contentType).captured(1);
    QStringDecoder decoder(charset.toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(
            html ? QStringConverter::encodingForHtml(data).value_or(QStringConverter::Utf8)
                 : QStringConverter::Utf8);
    const QString text = decoder(data);

    CancelNavigation();
    FShowingPage = true;
    FViewCurrent = false;
    FPageUrl = url;
    HTMLBrowser->document()->setDefaultStyleSheet(QString());
    if (html)
        HTMLBrowser->setHtml(text);
    else
        HTMLBrowser->setPlainText(text);
    ScrollToEnd();
}

// ---- Window ------------------------------------------------------------------

void TChatForm::showEvent(QShowEvent* Event)
{
    QWidget::showEvent(Event);
    if (ChatAction)
        ChatAction->setChecked(true);
}

void TChatForm::hideEvent(QHideEvent* Event)
{
    QWidget::hideEvent(Event);
    if (ChatAction)
        ChatAction->setChecked(false);
}

void TChatForm::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    FormResize();
}

void TChatForm::FormResize()
{
    const int editTop = height() - ChatEdit->height() - 36;
    ChatEdit->setGeometry(2, editTop, width() - 38, ChatEdit->height());
    HTMLBrowser->setGeometry(0, 0, width(), qMax(0, editTop - 7));
    const int left = width() - 32;
    SendButton->move(left, editTop);
    SaveButton->move(left, SendButton->y() + 32);
    ClearChatButton->move(left, SaveButton->y() + 32);

    const int rowTop = ClearChatButton->y();
    const auto centred = [&](QWidget* Control) {
        return rowTop + qRound((ColorButton->height() - Control->height()) / 2.0);
    };
    SizeLabel->move(4, centred(SizeLabel));
    FontSizeEdit->move(SizeLabel->x() + SizeLabel->width() + 4, centred(FontSizeEdit));
    ColorLabel->move(FontSizeEdit->x() + FontSizeEdit->width() + 8, centred(ColorLabel));
    ColorButton->move(ColorLabel->x() + ColorLabel->width() + 4, rowTop);
}
