#include "EngineValue.h"

#include <cstring>

QString EngineText(const char* Buffer, qsizetype Size)
{
    if (!Buffer || Size <= 0)
        return {};
    const void* end = std::memchr(Buffer, 0, size_t(Size));
    const qsizetype length = end ? static_cast<const char*>(end) - Buffer : Size;
    return QString::fromUtf8(Buffer, length);
}

QString EngineText(const char* Text)
{
    return Text ? QString::fromUtf8(Text) : QString();
}

QByteArray ToEngineText(const QString& Text)
{
    return Text.toUtf8();
}

TKrValue::TKrValue(const TKrValue& Other)
{
    KrVariantInit(&FValue);
    KrVariantCopy(&FValue, &Other.FValue);
}

TKrValue& TKrValue::operator=(const TKrValue& Other)
{
    if (this != &Other) {
        KrVariantClear(&FValue);
        KrVariantCopy(&FValue, &Other.FValue);
    }
    return *this;
}

TKrValue TKrValue::Integer(qint64 Value)
{
    TKrValue result;
    result.FValue.Type = KrVtInteger;
    result.FValue.Value.Integer = Value;
    return result;
}

TKrValue TKrValue::Unsigned(quint64 Value)
{
    TKrValue result;
    result.FValue.Type = KrVtUnsigned;
    result.FValue.Value.Unsigned = Value;
    return result;
}

TKrValue TKrValue::Byte(quint8 Value)
{
    TKrValue result;
    result.FValue.Type = KrVtByte;
    result.FValue.Value.Byte = Value;
    return result;
}

TKrValue TKrValue::Boolean(bool Value)
{
    TKrValue result;
    result.FValue.Type = KrVtBoolean;
    result.FValue.Value.Boolean = Value ? 1 : 0;
    return result;
}

TKrValue TKrValue::Text(const QByteArray& Value)
{
    TKrValue result;
    KrVariantSetString(&result.FValue, Value.constData());
    return result;
}

TKrValue TKrValue::Array(std::initializer_list<TKrValue> Elements)
{
    TKrValue result;
    if (KrVariantSetArray(&result.FValue, int32_t(Elements.size())) != 0)
        return result;
    int i = 0;
    for (const TKrValue& element : Elements)
        KrVariantCopy(&result.FValue.Value.Array[i++], &element.FValue);
    return result;
}

TKrValue TKrValue::Element(int Index) const
{
    TKrValue element;
    if (IsArray() && FValue.Value.Array && Index >= 0 && Index < FValue.Count)
        KrVariantCopy(&element.FValue, &FValue.Value.Array[Index]);
    return element;
}

qint64 TKrValue::AsInteger(bool* Ok) const
{
    bool ok = true;
    qint64 result = 0;
    switch (FValue.Type) {
    case KrVtInteger:
        result = FValue.Value.Integer;
        break;
    case KrVtUnsigned:
        result = qint64(FValue.Value.Unsigned);
        break;
    case KrVtByte:
        result = FValue.Value.Byte;
        break;
    case KrVtBoolean:
        result = FValue.Value.Boolean != 0;
        break;
    default:
        ok = false;
    }
    if (Ok)
        *Ok = ok;
    return result;
}

bool TKrValue::AsBoolean(bool* Ok) const
{
    return AsInteger(Ok) != 0;
}

QString TKrValue::AsText() const
{
    if (FValue.Type == KrVtString)
        return EngineText(FValue.Value.String);
    bool ok = false;
    const qint64 number = AsInteger(&ok);
    return ok ? QString::number(number) : QString();
}
