#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace dravel::devserver {

struct WebOptions {
    std::string strBind = "127.0.0.1";
    uint16_t nPort = 80;
    std::string strDatabase;    // the login page checks credentials against it
    std::string strUpdateFile;  // served as /Update/TamixUpdate.exe; empty: 404
    int nIdleSeconds = 20 * 60; // the pages' idle logout
    // With both, the pages are served over TLS (https) with this certificate (chain) and key; host build only.
    std::string strTlsCertificate;
    std::string strTlsKey;
};

// The decoded query of a request (the first value of a repeated name).
using WebParams = std::map<std::string, std::string>;

struct WebReply {
    int nStatus = 200;
    std::string strType = "text/html; charset=utf-8";
    std::string strBody;
};

// The reply to a GET: login and logout, the four portal lists, the pop-up, the update file, or 404.
WebReply ServeWebPage(const WebOptions& options, const std::string& path, const WebParams& params);

// The portal's pages on their own thread. The host build serves them with cpp-httplib, the Windows
// build with the small HTTP server of HttpServer.h.
class CWebServer {
public:
    explicit CWebServer(WebOptions options);
    ~CWebServer();
    CWebServer(const CWebServer&) = delete;
    CWebServer& operator=(const CWebServer&) = delete;

    // Binds and starts serving; false (with the reason in `error`) when the port cannot be bound.
    bool Start(std::string& error);
    uint16_t Port() const { return m_nPort; }
    void Stop();

private:
    class CImpl;
    WebOptions m_options;
    std::unique_ptr<CImpl> m_pImpl;
    uint16_t m_nPort = 0;
};

// A page of the portal (exposed for tests): title and body inside the common frame with its scripts.
std::string PortalPage(const std::string& title, const std::string& body, int nIdleSeconds);

} // namespace dravel::devserver
