// The portal's pages served with the small HTTP server on Asio (the Windows build).
#include "devserver/HttpServer.h"
#include "devserver/WebPages.h"

namespace dravel::devserver {

class CWebServer::CImpl {
public:
    explicit CImpl(const WebOptions& options)
        : server([&options](const HttpRequest& request) {
              return ServeWebPage(options, request.strPath, request.params);
          }) {}
    CHttpServer server;
};

CWebServer::CWebServer(WebOptions options) : m_options(std::move(options)) {}

CWebServer::~CWebServer() {
    Stop();
}

bool CWebServer::Start(std::string& error) {
    m_pImpl = std::make_unique<CImpl>(m_options);
    if (!m_pImpl->server.Start(m_options.strBind, m_options.nPort, error)) {
        m_pImpl.reset();
        return false;
    }
    m_nPort = m_pImpl->server.Port();
    return true;
}

void CWebServer::Stop() {
    if (m_pImpl)
        m_pImpl->server.Stop();
}

} // namespace dravel::devserver
