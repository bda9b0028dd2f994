// orvanta_demo.h: drives the engine's built-in demo service, for tests and
// demonstrations. Not part of the engine's interface to clients.
#pragma once

#include "orvanta.h"

#include <QByteArray>
#include <QString>

namespace TOrvantaDemo {

// How long the played users take, in milliseconds.
KR_API void SetTimings(int AnswerMs, int CallerDelayMs, int OfferTimeoutMs, int PresenceMs);

// A played user (or any user of the demo service) calls a logged-in client.
KR_API bool PlaceCall(const QString& From, const QString& To, bool Invitation = false);
// The played user From ends its call with a client.
KR_API void HangUp(const QString& From);
KR_API void SendChat(const QString& From, const QString& To, const QString& Text);
KR_API void SendCommand(const QString& From, const QString& To, const QByteArray& Command);
KR_API void SetPresence(const QString& User, int Status, const QString& Conference = {});
// The next login is refused with this event code (33, 65, 71, ...).
KR_API void RefuseNextLogin(int EventCode);
// Every client loses its connection.
KR_API void DropConnections();
KR_API void SetServerProperty(const QString& Name, const QString& Value);

} // namespace TOrvantaDemo
