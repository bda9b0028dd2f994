#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

// The question must not hold up an incoming call when the service hangs.
constexpr int TimeoutMs = 500;

} // namespace

bool ScreenSaverActive()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.ScreenSaver"),
        QStringLiteral("/org/freedesktop/ScreenSaver"),
        QStringLiteral("org.freedesktop.ScreenSaver"), QStringLiteral("GetActive"));
    // Starting a screen saver only to ask whether it runs would be absurd.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, TimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().toBool();
}
