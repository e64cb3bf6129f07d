#pragma once

// Development certificates: a certificate authority of its own and server certificates it signs, so
// that the encrypted mode can be tried and tested without a real one.

#include <string>

namespace dravel::devserver {

struct DevCertificateRequest {
    std::string strDir;             // holds ca.pem/ca.key (made when missing) and the server's files
    std::string strHost;            // the server's name or IP address, as the client will be configured
    std::string strName = "server"; // writes NAME.pem (certificate, then the authority) and NAME.key
    bool bExpired = false;          // valid only until yesterday
};

// Writes the files; also ca.der and ca.reg, the authority as a trusted root for a Wine prefix's
// registry (`wine regedit ca.reg`). False with `error` set when something cannot be made or written.
bool MakeDevCertificates(const DevCertificateRequest& request, std::string& error);

} // namespace dravel::devserver
