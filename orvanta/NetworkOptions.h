#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

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

    // The demo proxy: chosen by its address with the manual connection mode,
    // it lets a connection through once the user gives DemoProxyUser and
    // DemoProxyPassword.
    static inline const QByteArray DemoProxyAddress = QByteArrayLiteral("proxy.demo.pellory");
    static inline const QByteArray DemoProxyUser = QByteArrayLiteral("demo");
    static inline const QByteArray DemoProxyPassword = QByteArrayLiteral("demo");
    bool ProxyAsksForCredentials() const;

    // Asks the authentication window for credentials (KR_WM_PROXY_AUTH with
    // two writable buffers, prefilled with the kept user name and password);
    // Done gets whether the proxy took them. False, and Done is not called,
    // when there is no window to ask or a request is already waiting.
    bool RequestCredentials(std::function<void(bool Accepted)> Done);
    // The client's answer: 2 after OK, anything else cancels. Failed when no
    // request is waiting.
    int32_t EndRequest(int32_t Result);

private:
    bool Save() const;

    QString FFileName;
    TProxy FProxy;
    int FConnectionMode = 0;
    int FNetType = 0;
    uint16_t FManualPort = 0;
    intptr_t FAuthenticationWindow = 0;

    struct TRequest
    {
        std::array<char, 256> UserName{};
        std::array<char, 256> Password{};
        std::function<void(bool)> Done;
    };
    std::unique_ptr<TRequest> FRequest; // the buffers stay put until the answer
};
