#include "VariantAccess.h"

#include <vector>

namespace TVariants {

bool IsArray(const KrVariant* Value, int32_t MinCount)
{
    return Value && Value->Type == KrVtArray && Value->Value.Array && Value->Count >= MinCount;
}

bool ReadText(const KrVariant& Value, qsizetype MaxLength, QByteArray& Result)
{
    if (Value.Type != KrVtString || !Value.Value.String)
        return false;
    Result = QByteArray(Value.Value.String, qstrnlen(Value.Value.String, size_t(MaxLength)));
    return true;
}

bool ReadNumber(const KrVariant& Value, qint64& Result)
{
    switch (Value.Type) {
    case KrVtInteger:
        Result = Value.Value.Integer;
        return true;
    case KrVtUnsigned:
        Result = qint64(Value.Value.Unsigned);
        return true;
    case KrVtByte:
        Result = Value.Value.Byte;
        return true;
    default:
        return false;
    }
}

int32_t GiveInteger(KrVariant* Value, qint64 Number)
{
    KrVariantClear(Value);
    Value->Type = KrVtInteger;
    Value->Value.Integer = Number;
    return 0;
}

int32_t GiveByte(KrVariant* Value, quint8 Number)
{
    KrVariantClear(Value);
    Value->Type = KrVtByte;
    Value->Value.Byte = Number;
    return 0;
}

int32_t GiveBoolean(KrVariant* Value, bool Flag)
{
    KrVariantClear(Value);
    Value->Type = KrVtBoolean;
    Value->Value.Boolean = Flag ? 1 : 0;
    return 0;
}

int32_t GiveText(KrVariant* Value, const QByteArray& Text)
{
    return KrVariantSetString(Value, Text.constData()) == 0 ? 0 : Refused;
}

int32_t GiveArray(KrVariant* Value, int32_t Count, const std::function<bool(KrVariant*, int)>& Fill)
{
    KrVariant array;
    KrVariantInit(&array);
    if (KrVariantSetArray(&array, Count) != 0)
        return Refused;
    for (int i = 0; i < Count; ++i)
        if (!Fill(&array.Value.Array[i], i)) {
            KrVariantClear(&array);
            return Refused;
        }
    KrVariantClear(Value);
    *Value = array;
    return 0;
}

int32_t GiveTexts(KrVariant* Value, const QByteArrayList& Texts)
{
    return GiveArray(Value, int32_t(Texts.size()), [&](KrVariant* Element, int Index) {
        return KrVariantSetString(Element, Texts.at(Index).constData()) == 0;
    });
}

int32_t GiveIntegers(KrVariant* Value, std::initializer_list<qint64> Numbers)
{
    const std::vector<qint64> numbers(Numbers);
    return GiveArray(Value, int32_t(numbers.size()), [&](KrVariant* Element, int Index) {
        GiveInteger(Element, numbers[size_t(Index)]);
        return true;
    });
}

} // namespace TVariants
