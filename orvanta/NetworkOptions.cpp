#include "NetworkOptions.h"

#include "platform/JsonFile.h"
#include "platform/Paths.h"

#include <QDir>
#include <QJsonObject>

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
