#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace dravel::devserver {

struct WebOptions {
    std::string strBind = "127.0.0.1";
    uint16_t nPort = 80;
    std::string strDatabase;    // the login page checks credentials against it
    std::string strUpdateFile;  // served as /Update/TamixUpdate.exe; empty: 404
    int nIdleSeconds = 20 * 60; // the pages' idle logout
};

// The portal's pages on their own thread: login and logout, the four portal lists, the update file.
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
    WebOptions m_options;
    std::unique_ptr<httplib::Server> m_pServer;
    std::thread m_thread;
    uint16_t m_nPort = 0;
};

// A page of the portal (exposed for tests): title and body inside the common frame with its scripts.
std::string PortalPage(const std::string& title, const std::string& body, int nIdleSeconds);

} // namespace dravel::devserver
