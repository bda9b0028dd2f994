#include "platform/Shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>
#include <utility>

namespace {

TShell::TRecorder& Recorder()
{
    static TShell::TRecorder recorder;
    return recorder;
}

// A scheme of one letter is a drive ("C:\..."), not an address.
bool HasScheme(const QString& Target)
{
    const qsizetype colon = Target.indexOf(QLatin1Char(':'));
    if (colon < 2)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = Target.at(i);
        const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                            (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        const bool other =
            c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.');
        if (!letter && !(i > 0 && other))
            return false;
    }
    return true;
}

// The address to open, or an invalid one when the target must not be opened.
QUrl Address(const QString& Target)
{
    const QString text = Target.trimmed();
    if (text.isEmpty())
        return {};
    if (!HasScheme(text)) {
        // An absolute path also keeps a name starting with '-' from being
        // taken for an option by the handler.
        return QUrl::fromLocalFile(QDir::cleanPath(QDir::current().absoluteFilePath(text)));
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return {};
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return url.host().isEmpty() ? QUrl() : url;
    if (scheme == QLatin1String("mailto"))
        return url.path().isEmpty() ? QUrl() : url;
    if (scheme == QLatin1String("file"))
        return url.isLocalFile() && !url.toLocalFile().isEmpty() ? url : QUrl();
    return {};
}

} // namespace

bool TShell::Open(const QString& Target, bool Hidden)
{
    const QUrl address = Address(Target);
    if (!address.isValid() || address.isEmpty())
        return false;
    if (const TRecorder& recorder = Recorder()) {
        recorder(Target, Hidden);
        return true;
    }
    return QDesktopServices::openUrl(address);
}

void TShell::InstallRecorder(TRecorder Recorder)
{
    ::Recorder() = std::move(Recorder);
}

void TShell::RemoveRecorder()
{
    ::Recorder() = nullptr;
}
