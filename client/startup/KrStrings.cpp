#include "KrStrings.h"

#include "LanguageFile.h"
#include "platform/Resources.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMutex>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

HMODULE LanguageModule = 0;

namespace {

// The built-in English texts, compiled in from the text table.
const TStringTable& BuiltInTable()
{
    static const TStringTable table = [] {
        TStringTable builtIn;
        QFile file(QStringLiteral(":/strings/en.txt"));
        QString error;
        if (!file.open(QIODevice::ReadOnly) ||
            !TLanguageFile::ParseTextTable(file.readAll(), builtIn, &error))
            std::fprintf(stderr, "warning: the built-in string table is damaged: %s\n",
                         qPrintable(error));
        return builtIn;
    }();
    return table;
}

struct TModuleTable
{
    QMutex Lock;
    std::map<HMODULE, std::shared_ptr<const TStringTable>> Modules;
    HMODULE Next = 1;
};

TModuleTable& Modules()
{
    static TModuleTable modules;
    return modules;
}

std::vector<TLocalizable*>& LocalizableWindows()
{
    static std::vector<TLocalizable*> windows;
    return windows;
}

} // namespace

HMODULE LoadLanguageModule(const QString& Path)
{
    if (Path.isEmpty())
        return 0;
    auto table = std::make_shared<TStringTable>();
    QString error;
    if (!TLanguageFile::Load(Path, *table, &error)) {
        std::fprintf(stderr, "warning: language file %s refused: %s\n", qPrintable(Path),
                     qPrintable(error));
        return 0;
    }
    QMutexLocker locker(&Modules().Lock);
    const HMODULE handle = Modules().Next++;
    Modules().Modules.emplace(handle, std::move(table));
    return handle;
}

void FreeLanguageModule(HMODULE Module)
{
    QMutexLocker locker(&Modules().Lock);
    Modules().Modules.erase(Module);
}

QString LoadModuleString(HMODULE Module, int Id)
{
    if (Id < 0)
        throw EKrError("String ID must be more than 0.");
    std::shared_ptr<const TStringTable> table;
    {
        QMutexLocker locker(&Modules().Lock);
        const auto found = Modules().Modules.find(Module);
        if (found != Modules().Modules.end())
            table = found->second;
    }
    if (!table)
        throw EKrError("Invalid module handle");
    return table->value(Id);
}

QString LoadLocalizedString(int Id)
{
    QString text;
    if (LanguageModule != 0)
        text = LoadModuleString(LanguageModule, Id);
    if (text.isEmpty())
        text = BuiltInTable().value(Id);
    return text.left(MaxLocalizedLength);
}

TLocalizable::TLocalizable()
{
    LocalizableWindows().push_back(this);
}

TLocalizable::~TLocalizable()
{
    auto& windows = LocalizableWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

void LocalizeAllForms()
{
    // A Localize may open or close windows; those that go away are skipped.
    const std::vector<TLocalizable*> windows = LocalizableWindows();
    for (TLocalizable* window : windows) {
        const auto& current = LocalizableWindows();
        if (std::find(current.begin(), current.end(), window) != current.end())
            window->Localize();
    }
}

QString FormatText(const QString& Pattern, const QStringList& Args)
{
    QString result;
    result.reserve(Pattern.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < Pattern.size(); ++i) {
        if (Pattern.at(i) == QLatin1Char('%') && i + 1 < Pattern.size()) {
            const QChar kind = Pattern.at(i + 1);
            if (kind == QLatin1Char('s') || kind == QLatin1Char('d')) {
                result += Args.value(next++);
                ++i;
                continue;
            }
            if (kind == QLatin1Char('%')) {
                result += QLatin1Char('%');
                ++i;
                continue;
            }
        }
        result += Pattern.at(i);
    }
    return result;
}

bool ResourceExists(const QString& Name)
{
    return TResources::Exists(Name);
}

QString ReadResourceText(const QString& Name)
{
    const QByteArray bytes = TResources::Read(Name);
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}

void LoadPictureFromBuffer(QLabel* Image, const void* Buffer, int Size, const QString& FormatName)
{
    if (!Image || !Buffer || Size <= 0)
        return;
    const QString format = FormatName.toUpper();
    const char* decoder =
        format.contains(QLatin1String("JPEG")) || format.contains(QLatin1String("JPG")) ? "JPEG"
        : format.contains(QLatin1String("GIF"))                                         ? "GIF"
        : format.contains(QLatin1String("PNG"))                                         ? "PNG"
                                                                                        : nullptr;
    if (!decoder)
        return;
    const QImage picture =
        QImage::fromData(QByteArray::fromRawData(static_cast<const char*>(Buffer), Size), decoder);
    if (!picture.isNull())
        Image->setPixmap(QPixmap::fromImage(picture));
}
