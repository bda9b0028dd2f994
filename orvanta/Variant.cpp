// Allocation of the strings and arrays inside KrVariant values. Shared by the
// engine and every library that offers its interface.
#include "orvanta.h"

#include <cstdlib>
#include <cstring>

extern "C" {

void KrVariantInit(KrVariant* Value)
{
    if (Value)
        std::memset(Value, 0, sizeof *Value);
}

void KrVariantClear(KrVariant* Value)
{
    if (!Value)
        return;
    if (Value->Type == KrVtString) {
        std::free(Value->Value.String);
    } else if (Value->Type == KrVtArray && Value->Value.Array) {
        for (int32_t i = 0; i < Value->Count; ++i)
            KrVariantClear(&Value->Value.Array[i]);
        std::free(Value->Value.Array);
    }
    KrVariantInit(Value);
}

int32_t KrVariantSetString(KrVariant* Value, const char* Text)
{
    if (!Value)
        return -1;
    char* copy = strdup(Text ? Text : "");
    if (!copy)
        return -1;
    KrVariantClear(Value);
    Value->Type = KrVtString;
    Value->Value.String = copy;
    return 0;
}

int32_t KrVariantSetArray(KrVariant* Value, int32_t Count)
{
    if (!Value || Count < 0)
        return -1;
    auto* elements = static_cast<KrVariant*>(std::calloc(Count > 0 ? Count : 1, sizeof(KrVariant)));
    if (!elements)
        return -1;
    KrVariantClear(Value);
    Value->Type = KrVtArray;
    Value->Count = Count;
    Value->Value.Array = elements;
    return 0;
}

int32_t KrVariantCopy(KrVariant* Target, const KrVariant* Source)
{
    if (!Target || !Source || Target == Source)
        return -1;
    if (Source->Type == KrVtString)
        return KrVariantSetString(Target, Source->Value.String);
    if (Source->Type == KrVtArray) {
        if (KrVariantSetArray(Target, Source->Count) != 0)
            return -1;
        for (int32_t i = 0; i < Source->Count; ++i)
            if (KrVariantCopy(&Target->Value.Array[i], &Source->Value.Array[i]) != 0)
                return -1;
        return 0;
    }
    KrVariantClear(Target);
    *Target = *Source;
    return 0;
}

} // extern "C"
