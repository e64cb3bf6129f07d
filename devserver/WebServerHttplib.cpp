// The portal's pages served with cpp-httplib (the host build), over https when given a certificate.
#include "devserver/WebPages.h"

#include <httplib.h>

#include <memory>
#include <thread>

namespace dravel::devserver {

class CWebServer::CImpl {
public:
    std::unique_ptr<httplib::Server> pServer;
    std::thread thread;
};

CWebServer::CWebServer(WebOptions options) : m_options(std::move(options)) {}

CWebServer::~CWebServer() {
    Stop();
}

bool CWebServer::Start(std::string& error) {
    m_pImpl = std::make_unique<CImpl>();
    if (m_options.strTlsCertificate.empty()) {
        m_pImpl->pServer = std::make_unique<httplib::Server>();
    } else {
        auto tls = std::make_unique<httplib::SSLServer>(m_options.strTlsCertificate.c_str(), m_options.strTlsKey.c_str());
        if (!tls->is_valid()) {
            error = "cannot use " + m_options.strTlsCertificate + " and " + m_options.strTlsKey + " for https";
            return false;
        }
        m_pImpl->pServer = std::move(tls);
    }
    httplib::Server& server = *m_pImpl->pServer;
    server.Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
        WebParams params;
        for (const auto& [name, value] : req.params)
            params.emplace(name, value); // the first of a repeated name stays
        WebReply reply = ServeWebPage(m_options, req.path, params);
        res.status = reply.nStatus;
        res.set_content(std::move(reply.strBody), reply.strType.c_str());
    });

    if (m_options.nPort == 0) {
        int port = server.bind_to_any_port(m_options.strBind);
        if (port <= 0) {
            error = "cannot bind a free port on " + m_options.strBind;
            return false;
        }
        m_nPort = static_cast<uint16_t>(port);
    } else {
        if (!server.bind_to_port(m_options.strBind, m_options.nPort)) {
            error = "cannot bind " + m_options.strBind + ":" + std::to_string(m_options.nPort);
            return false;
        }
        m_nPort = m_options.nPort;
    }
    m_pImpl->thread = std::thread([&server] { server.listen_after_bind(); });
    return true;
}

void CWebServer::Stop() {
    if (!m_pImpl)
        return;
    if (m_pImpl->pServer)
        m_pImpl->pServer->stop();
    if (m_pImpl->thread.joinable())
        m_pImpl->thread.join();
}

} // namespace dravel::devserver
