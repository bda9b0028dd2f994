#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The connection settings the engine keeps for the whole process (they take
// no instance): the proxy, the connection mode, the network type and the
// manual port. They are kept between runs in the engine's network file,
// written atomically and readable by the user alone, as it holds the proxy
// password.
class TNetworkOptions
{
public:
    static constexpr int MaxText = 255;
    static constexpr uint16_t DefaultPort = 8330;
    static constexpr int MaxConnectionMode = 3;
    static constexpr int MaxNetType = 5;

    struct TProxy
    {
        int32_t Type = 0;
        QByteArray Address;
        uint16_t Port = 0;
        QByteArray UserName;
        QByteArray Password;
    };

    // The process's options, loaded on first use.
    static TNetworkOptions& Instance();
    explicit TNetworkOptions(QString FileName);

    TProxy Proxy() const { return FProxy; }
    bool SetProxy(const TProxy& Proxy); // texts longer than MaxText are refused

    int ConnectionMode() const { return FConnectionMode; }
    bool SetConnectionMode(int Mode);
    int NetType() const { return FNetType; }
    bool SetNetType(int Type);
    // 0 when the engine chooses the port itself.
    uint16_t ManualPort() const { return FManualPort; }
    bool SetManualPort(uint16_t Port);

    // The window a proxy's request for credentials goes to (not kept).
    intptr_t AuthenticationWindow() const { return FAuthenticationWindow; }
    void SetAuthenticationWindow(intptr_t Window) { FAuthenticationWindow = Window; }

private:
    bool Save() const;

    QString FFileName;
    TProxy FProxy;
    int FConnectionMode = 0;
    int FNetType = 0;
    uint16_t FManualPort = 0;
    intptr_t FAuthenticationWindow = 0;
};
