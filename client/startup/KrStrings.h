#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <stdexcept>

class QLabel;

// Errors the program's helpers raise, with the message the user may see.
class EKrError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// ---- Localized texts -------------------------------------------------------

// A loaded language file; 0 is none.
using HMODULE = std::intptr_t;

// The language whose texts LoadLocalizedString prefers; 0 = the built-in English.
extern HMODULE LanguageModule;

inline constexpr int MaxLocalizedLength = 1023;

// Loads a language file (see LanguageFile.h) as data. 0 when Path is empty
// or the file cannot be read or is not a valid language file.
HMODULE LoadLanguageModule(const QString& Path);
void FreeLanguageModule(HMODULE Module);

// String Id of a loaded language file; empty when it has none. Raises
// EKrError for an Id below 0 or a handle that is not a loaded language file.
QString LoadModuleString(HMODULE Module, int Id);

// The text of string Id in the current language, falling back to the
// built-in English table; at most 1023 characters, empty when neither has it.
QString LoadLocalizedString(int Id);

// Pattern with each "%s" (or "%d") replaced by the next of Args, in order
// ("%%" gives "%"). Placeholders past the last argument become empty; inserted texts are
// never scanned again, so a translated pattern cannot misuse them.
QString FormatText(const QString& Pattern, const QStringList& Args);

// A window whose texts follow the current language.
class TLocalizable
{
public:
    TLocalizable();
    virtual ~TLocalizable();
    TLocalizable(const TLocalizable&) = delete;
    TLocalizable& operator=(const TLocalizable&) = delete;

    // Re-applies every text of the window.
    virtual void Localize() = 0;
};

// Calls Localize on every existing localizable window, oldest first.
void LocalizeAllForms();

// ---- Resources and pictures ------------------------------------------------

bool ResourceExists(const QString& Name);

// The text resource's bytes up to its first zero byte; empty when missing.
QString ReadResourceText(const QString& Name);

// Decodes Size bytes at Buffer as a JPEG ("JPEG" or "JPG" in FormatName,
// case-insensitive), GIF or PNG picture and shows it in Image. Any other
// format, or bytes that do not decode, leave the image as it was.
void LoadPictureFromBuffer(QLabel* Image, const void* Buffer, int Size, const QString& FormatName);
