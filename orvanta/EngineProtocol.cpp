// The engine's properties of the protocol: calls, server properties, user
// photos and status, invitations, and the bandwidth the client allows.
#include "Engine.h"
#include "VariantAccess.h"

#include <QByteArray>
#include <cstring>

namespace {

constexpr int32_t Failed = -1;
using TVariants::IsArray;

// Texts the protocol takes: ids, names, passwords, conditions.
bool Text(const KrVariant& Value, QByteArray& Result)
{
    return TVariants::ReadText(Value, 4096, Result);
}

} // namespace

void TEngine::RegisterProtocolProperties()
{
    // [conference type, name] or [conference type, name, password]
    FProperties.Add(QStringLiteral("Protocol\\Call"), [this](int32_t Operation, KrVariant* Value) {
        qint64 type = 0;
        QByteArray name, password;
        if (Operation != KR_OP_RUN || !IsArray(Value, 2) || !TVariants::ReadNumber(Value->Value.Array[0], type) ||
            !Text(Value->Value.Array[1], name) || name.isEmpty() ||
            (Value->Count > 2 && !Text(Value->Value.Array[2], password)))
            return Failed;
        IServiceConnection* connection = FLink->Connection();
        return connection && FLink->LoggedIn() && connection->Call(int(type), name, password)
                   ? 0
                   : Failed;
    });
    FProperties.Add(QStringLiteral("Protocol\\Property"), [this](int32_t Operation, KrVariant* Value) {
        QByteArray name, text;
        if (Operation != KR_OP_SET || !IsArray(Value, 2) || !Text(Value->Value.Array[0], name) ||
            !Text(Value->Value.Array[1], text) || name.isEmpty())
            return Failed;
        FLink->SetProperty(name, text);
        return 0;
    });
    FProperties.Add(QStringLiteral("Protocol\\UserStatus"), [this](int32_t Operation, KrVariant* Value) {
        QByteArray user;
        if (Operation != KR_OP_RUN || !Text(*Value, user) || !FLink->LoggedIn())
            return Failed;
        FLink->RequestUserStatus(user);
        return 0;
    });
    FProperties.Add(QStringLiteral("Protocol\\Invite"), [this](int32_t Operation, KrVariant* Value) {
        QByteArray user;
        IServiceConnection* connection = FLink->Connection();
        if (Operation != KR_OP_RUN || !Text(*Value, user) || !connection || !FLink->LoggedIn())
            return Failed;
        connection->Invite(user);
        return 0;
    });
    // [address of the user id text, address of the data pointer, address of
    // the size, address of the format text pointer]; the engine keeps the
    // bytes and the format text until the next photo.
    FProperties.Add(QStringLiteral("Protocol\\UserPhoto"), [this](int32_t Operation, KrVariant* Value) {
        qint64 addresses[4] = {};
        if (Operation != KR_OP_RUN || !IsArray(Value, 4))
            return Failed;
        for (int i = 0; i < 4; ++i)
            if (!TVariants::ReadNumber(Value->Value.Array[i], addresses[i]) || addresses[i] == 0)
                return Failed;
        const char* user = reinterpret_cast<const char*>(intptr_t(addresses[0]));
        auto [data, format] = FLink->UserPhoto(QByteArray(user, qstrnlen(user, 256)));
        if (data.isEmpty())
            return Failed;
        FPhoto = data;
        FPhotoFormat = format;
        *reinterpret_cast<const void**>(intptr_t(addresses[1])) = FPhoto.constData();
        *reinterpret_cast<int32_t*>(intptr_t(addresses[2])) = int32_t(FPhoto.size());
        *reinterpret_cast<const char**>(intptr_t(addresses[3])) = FPhotoFormat.constData();
        return 0;
    });
    const auto bandwidth = [](int& Kept) {
        return [&Kept](int32_t Operation, KrVariant* Value) {
            qint64 number = 0;
            if (Operation == KR_OP_GET) {
                TVariants::GiveInteger(Value, Kept);
                return 0;
            }
            if (Operation != KR_OP_SET || !TVariants::ReadNumber(*Value, number) || number < 0 || number > 100000)
                return Failed;
            Kept = int(number);
            return 0;
        };
    };
    FProperties.Add(QStringLiteral("Protocol\\InputBandwidth"), bandwidth(FInBandwidth));
    auto outBandwidth = bandwidth(FOutBandwidth);
    FProperties.Add(QStringLiteral("Sender\\VideoQuality"),
                    [this, outBandwidth](int32_t Operation, KrVariant* Value) {
                        if (Operation != KR_OP_RUN)
                            return outBandwidth(Operation, Value);
                        // The rate being sent now: what the client allows, while a call is up.
                        TVariants::GiveInteger(Value, FLink->CallUp() ? FOutBandwidth : 0);
                        return 0;
                    });
    FProperties.Add(QStringLiteral("Sender\\QueryKey"), [](int32_t Operation, KrVariant*) {
        return Operation == KR_OP_RUN ? 0 : Failed;
    });
}
