#pragma once

#include "DllInterface.h"

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <utility>

// Texts at the engine boundary are zero-terminated 8-bit strings; on this
// platform the 8-bit encoding is UTF-8, so display names, chat and user
// details (UTF-8 by contract) and every other engine text decode the same
// way. Bytes that are not valid UTF-8 become replacement characters.

// The text in Buffer up to its first zero byte, and never past Size bytes.
QString EngineText(const char* Buffer, qsizetype Size);
// A zero-terminated text whose size the engine does not state.
QString EngineText(const char* Text);
QByteArray ToEngineText(const QString& Text);

// A buffer for the engine to write a text into, zero-filled.
class TTextBuffer
{
public:
    explicit TTextBuffer(qsizetype Size) : FBytes(Size, '\0') {}
    char* Data() { return FBytes.data(); }
    QString Text() const { return EngineText(FBytes.constData(), FBytes.size()); }

private:
    QByteArray FBytes;
};

// A property value passed to KrProcess, owning what it holds. The engine may
// replace it with a result; whatever is held in the end is freed once.
class TKrValue
{
public:
    TKrValue() { KrVariantInit(&FValue); }
    ~TKrValue() { KrVariantClear(&FValue); }
    TKrValue(const TKrValue& Other);
    TKrValue& operator=(const TKrValue& Other);
    TKrValue(TKrValue&& Other) noexcept : FValue(Other.FValue) { KrVariantInit(&Other.FValue); }
    TKrValue& operator=(TKrValue&& Other) noexcept
    {
        std::swap(FValue, Other.FValue);
        return *this;
    }

    static TKrValue Integer(qint64 Value);
    static TKrValue Unsigned(quint64 Value);
    static TKrValue Byte(quint8 Value);
    static TKrValue Boolean(bool Value);
    static TKrValue Text(const QByteArray& Value);
    static TKrValue Text(const QString& Value) { return Text(ToEngineText(Value)); }
    static TKrValue Array(std::initializer_list<TKrValue> Elements);

    KrVariant* Data() { return &FValue; }
    int Type() const { return FValue.Type; }
    bool IsEmpty() const { return FValue.Type == KrVtEmpty; }
    bool IsArray() const { return FValue.Type == KrVtArray; }
    int Count() const { return IsArray() ? FValue.Count : 0; }
    // A copy of element Index; empty when there is none.
    TKrValue Element(int Index) const;

    // Numbers and Booleans as an integer; Ok is false for any other kind.
    qint64 AsInteger(bool* Ok = nullptr) const;
    // Booleans and numbers (non-zero is true).
    bool AsBoolean(bool* Ok = nullptr) const;
    // A text as it is, or a number in decimal.
    QString AsText() const;

private:
    KrVariant FValue;
};
