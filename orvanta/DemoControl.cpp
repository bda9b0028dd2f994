#include "orvanta_demo.h"

#include "service/DemoService.h"

namespace TOrvantaDemo {

void SetTimings(int AnswerMs, int CallerDelayMs, int OfferTimeoutMs, int PresenceMs)
{
    const TDemoService::TTimings timings{AnswerMs, CallerDelayMs, OfferTimeoutMs, PresenceMs};
    TDemoService::DefaultTimings() = timings;
    TDemoService::Instance()->Timings = timings;
}

bool PlaceCall(const QString& From, const QString& To, bool Invitation)
{
    return TDemoService::Instance()->PlaceCallFrom(From, To, Invitation);
}

void HangUp(const QString& From)
{
    TDemoService::Instance()->HangUpFrom(From);
}

void SendChat(const QString& From, const QString& To, const QString& Text)
{
    TDemoService::Instance()->SendChatFrom(From, To, Text);
}

void SendCommand(const QString& From, const QString& To, const QByteArray& Command)
{
    TDemoService::Instance()->SendCommandFrom(From, To, Command);
}

void SetPresence(const QString& User, int Status, const QString& Conference)
{
    TDemoService::Instance()->SetPresence(User, Status, Conference);
}

void RefuseNextLogin(int EventCode)
{
    TDemoService::Instance()->RefuseNextLogin(EventCode);
}

void DropConnections()
{
    TDemoService::Instance()->DropConnections();
}

void SetServerProperty(const QString& Name, const QString& Value)
{
    TDemoService::Instance()->SetServerProperty(Name, Value);
}

} // namespace TOrvantaDemo
