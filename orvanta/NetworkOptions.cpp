#include "NetworkOptions.h"

#include "platform/JsonFile.h"
#include "platform/Messages.h"
#include "platform/Paths.h"
#include "orvanta.h"

#include <QDir>
#include <QJsonObject>
#include <cstring>

namespace {

QString Bytes(const QByteArray& Text)
{
    return QString::fromLatin1(Text); // byte for byte
}

} // namespace

TNetworkOptions& TNetworkOptions::Instance()
{
    static TNetworkOptions options(QDir(TPaths::ConfigDir()).filePath(QStringLiteral("engine/network.json")));
    return options;
}

TNetworkOptions::TNetworkOptions(QString FileName) : FFileName(std::move(FileName))
{
    const QJsonObject stored = TJsonFile::Load(FFileName, QStringLiteral("the engine's network settings"));
    const QJsonObject proxy = stored.value(QStringLiteral("proxy")).toObject();
    TProxy loaded;
    loaded.Type = proxy.value(QStringLiteral("type")).toInt();
    loaded.Address = proxy.value(QStringLiteral("address")).toString().toLatin1();
    loaded.Port = uint16_t(proxy.value(QStringLiteral("port")).toInt());
    loaded.UserName = proxy.value(QStringLiteral("user")).toString().toLatin1();
    loaded.Password = proxy.value(QStringLiteral("password")).toString().toLatin1();
    if (loaded.Address.size() <= MaxText && loaded.UserName.size() <= MaxText &&
        loaded.Password.size() <= MaxText)
        FProxy = loaded;
    const int mode = stored.value(QStringLiteral("connection_mode")).toInt();
    FConnectionMode = mode >= 0 && mode <= MaxConnectionMode ? mode : 0;
    const int type = stored.value(QStringLiteral("net_type")).toInt();
    FNetType = type >= 0 && type <= MaxNetType ? type : 0;
    const int port = stored.value(QStringLiteral("manual_port")).toInt();
    FManualPort = port > 0 && port <= 65535 ? uint16_t(port) : 0;
}

bool TNetworkOptions::SetProxy(const TProxy& Proxy)
{
    if (Proxy.Address.size() > MaxText || Proxy.UserName.size() > MaxText ||
        Proxy.Password.size() > MaxText)
        return false;
    FProxy = Proxy;
    return Save();
}

bool TNetworkOptions::SetConnectionMode(int Mode)
{
    if (Mode < 0 || Mode > MaxConnectionMode)
        return false;
    FConnectionMode = Mode;
    return Save();
}

bool TNetworkOptions::SetNetType(int Type)
{
    if (Type < 0 || Type > MaxNetType)
        return false;
    FNetType = Type;
    return Save();
}

bool TNetworkOptions::SetManualPort(uint16_t Port)
{
    FManualPort = Port;
    return Save();
}

bool TNetworkOptions::ProxyAsksForCredentials() const
{
    constexpr int ManualConfiguration = 1;
    return FConnectionMode == ManualConfiguration &&
           FProxy.Address.compare(DemoProxyAddress, Qt::CaseInsensitive) == 0;
}

bool TNetworkOptions::RequestCredentials(std::function<void(bool Accepted)> Done)
{
    if (FRequest || FAuthenticationWindow == 0)
        return false;
    auto request = std::make_unique<TRequest>();
    std::memcpy(request->UserName.data(), FProxy.UserName.constData(),
                size_t(qMin<qsizetype>(FProxy.UserName.size(), request->UserName.size() - 1)));
    std::memcpy(request->Password.data(), FProxy.Password.constData(),
                size_t(qMin<qsizetype>(FProxy.Password.size(), request->Password.size() - 1)));
    request->Done = std::move(Done);
    if (!PostMessage(FAuthenticationWindow, KR_WM_PROXY_AUTH,
                     reinterpret_cast<intptr_t>(request->UserName.data()),
                     reinterpret_cast<intptr_t>(request->Password.data())))
        return false;
    FRequest = std::move(request);
    return true;
}

int32_t TNetworkOptions::EndRequest(int32_t Result)
{
    if (!FRequest)
        return -1;
    const std::unique_ptr<TRequest> request = std::move(FRequest);
    const auto text = [](const std::array<char, 256>& Buffer) {
        return QByteArray(Buffer.data(), qstrnlen(Buffer.data(), Buffer.size() - 1));
    };
    const bool accepted = Result == 2 && text(request->UserName) == DemoProxyUser &&
                          text(request->Password) == DemoProxyPassword;
    if (accepted) {
        TProxy proxy = FProxy;
        proxy.UserName = text(request->UserName);
        proxy.Password = text(request->Password);
        SetProxy(proxy);
    }
    request->Done(accepted);
    return 0;
}

bool TNetworkOptions::Save() const
{
    const QJsonObject proxy{{QStringLiteral("type"), FProxy.Type},
                            {QStringLiteral("address"), Bytes(FProxy.Address)},
                            {QStringLiteral("port"), int(FProxy.Port)},
                            {QStringLiteral("user"), Bytes(FProxy.UserName)},
                            {QStringLiteral("password"), Bytes(FProxy.Password)}};
    return TJsonFile::Save(FFileName,
                           QJsonObject{{QStringLiteral("proxy"), proxy},
                                       {QStringLiteral("connection_mode"), FConnectionMode},
                                       {QStringLiteral("net_type"), FNetType},
                                       {QStringLiteral("manual_port"), int(FManualPort)}},
                           TJsonFile::TAccess::OwnerOnly);
}
