#pragma once

#include "orvanta.h"

#include <QByteArray>
#include <QByteArrayList>
#include <functional>
#include <initializer_list>

// Reading the values clients pass to KrProcess, and answering with new ones.
// Readers never trust a value's shape; answers replace the caller's value
// only once they are complete.
namespace TVariants {

constexpr int32_t Refused = -1;

bool IsArray(const KrVariant* Value, int32_t MinCount);
// A text, read no further than MaxLength bytes.
bool ReadText(const KrVariant& Value, qsizetype MaxLength, QByteArray& Result);
// An Integer, Unsigned or Byte.
bool ReadNumber(const KrVariant& Value, qint64& Result);

int32_t GiveInteger(KrVariant* Value, qint64 Number);
int32_t GiveByte(KrVariant* Value, quint8 Number);
int32_t GiveBoolean(KrVariant* Value, bool Flag);
int32_t GiveText(KrVariant* Value, const QByteArray& Text);
// An array of Count elements, each made by Fill; nothing changes when one fails.
int32_t GiveArray(KrVariant* Value, int32_t Count, const std::function<bool(KrVariant*, int)>& Fill);
int32_t GiveTexts(KrVariant* Value, const QByteArrayList& Texts);
int32_t GiveIntegers(KrVariant* Value, std::initializer_list<qint64> Numbers);

} // namespace TVariants
