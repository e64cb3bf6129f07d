#pragma once

// A connection's byte stream: the accepted TCP socket itself, or TLS over it when the server was given
// a certificate. The sessions read and write through this and never learn which one it is.

#include <asio.hpp>
#ifdef DEVSERVER_WITH_TLS
#include <asio/ssl.hpp>
#endif

#include <memory>
#include <utility>

namespace dravel::devserver {

class CSessionStream {
public:
    using executor_type = asio::ip::tcp::socket::executor_type;
#ifdef DEVSERVER_WITH_TLS
    using TlsStream = asio::ssl::stream<asio::ip::tcp::socket>;
#endif

    explicit CSessionStream(asio::ip::tcp::socket socket) : m_plain(std::move(socket)) {}
#ifdef DEVSERVER_WITH_TLS
    explicit CSessionStream(std::unique_ptr<TlsStream> pTls) : m_plain(pTls->get_executor()), m_pTls(std::move(pTls)) {}
#endif

    executor_type get_executor() {
        return Socket().get_executor();
    }

    // The TCP socket underneath: its address, its options and its end.
    asio::ip::tcp::socket& Socket() {
#ifdef DEVSERVER_WITH_TLS
        if (m_pTls)
            return m_pTls->next_layer();
#endif
        return m_plain;
    }
    const asio::ip::tcp::socket& Socket() const {
        return const_cast<CSessionStream*>(this)->Socket();
    }

    template <class Buffers, class Handler> void async_read_some(const Buffers& buffers, Handler&& handler) {
#ifdef DEVSERVER_WITH_TLS
        if (m_pTls) {
            m_pTls->async_read_some(buffers, std::forward<Handler>(handler));
            return;
        }
#endif
        m_plain.async_read_some(buffers, std::forward<Handler>(handler));
    }

    template <class Buffers, class Handler> void async_write_some(const Buffers& buffers, Handler&& handler) {
#ifdef DEVSERVER_WITH_TLS
        if (m_pTls) {
            m_pTls->async_write_some(buffers, std::forward<Handler>(handler));
            return;
        }
#endif
        m_plain.async_write_some(buffers, std::forward<Handler>(handler));
    }

    // Ends the connection at once (no TLS close alert: the records' own framing says where data ends).
    void Close() {
        asio::error_code ec;
        Socket().shutdown(asio::ip::tcp::socket::shutdown_both, ec);
        Socket().close(ec);
    }

private:
    asio::ip::tcp::socket m_plain;
#ifdef DEVSERVER_WITH_TLS
    std::unique_ptr<TlsStream> m_pTls;
#endif
};

} // namespace dravel::devserver
