#include "devserver/DevCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/sha.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace dravel::devserver {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct CertFree {
    void operator()(X509* p) const { X509_free(p); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

constexpr long kDay = 24 * 3600;

Key NewKey() {
    return Key(EVP_RSA_gen(2048));
}

bool AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    const bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// A certificate for `subjectKey` named `commonName`, valid from `fromSeconds` to `toSeconds` around now.
Cert NewCertificate(EVP_PKEY* subjectKey, const std::string& commonName, long fromSeconds, long toSeconds) {
    Cert cert(X509_new());
    if (!cert)
        return nullptr;
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    std::ifstream("/dev/urandom", std::ios::binary).read(reinterpret_cast<char*>(serial), sizeof(serial));
    serial[0] &= 0x7F;
    BIGNUM* bn = BN_bin2bn(serial, sizeof(serial), nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromSeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), toSeconds);
    X509_set_pubkey(cert.get(), subjectKey);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Dravel On development"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(commonName.c_str()),
                               -1, -1, 0);
    return cert;
}

bool WritePem(const std::string& path, X509* cert, X509* chain, EVP_PKEY* key) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = true;
    if (cert)
        ok = ok && PEM_write_X509(f, cert) == 1;
    if (chain)
        ok = ok && PEM_write_X509(f, chain) == 1;
    if (key)
        ok = ok && PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return std::fclose(f) == 0 && ok;
}

std::vector<unsigned char> Der(X509* cert) {
    const int n = i2d_X509(cert, nullptr);
    if (n <= 0)
        return {};
    std::vector<unsigned char> der(static_cast<size_t>(n));
    unsigned char* p = der.data();
    i2d_X509(cert, &p);
    return der;
}

// Wine keeps the machine's trusted roots in the registry, one key per certificate named by its SHA-1
// thumbprint, holding the serialized certificate: property 32 (the encoded certificate) with its size.
std::string WineRootRegistration(const std::vector<unsigned char>& der) {
    unsigned char hash[SHA_DIGEST_LENGTH];
    SHA1(der.data(), der.size(), hash);
    std::string thumb;
    char hex[4];
    for (unsigned char b : hash) {
        std::snprintf(hex, sizeof(hex), "%02X", b);
        thumb += hex;
    }
    std::vector<unsigned char> blob = {0x20, 0, 0, 0, 1, 0, 0, 0};
    const uint32_t size = static_cast<uint32_t>(der.size());
    for (int i = 0; i < 4; ++i)
        blob.push_back(static_cast<unsigned char>(size >> (8 * i)));
    blob.insert(blob.end(), der.begin(), der.end());
    std::string reg =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + thumb +
        "]\r\n\"Blob\"=hex:";
    for (size_t i = 0; i < blob.size(); ++i) {
        std::snprintf(hex, sizeof(hex), "%02x", blob[i]);
        reg += hex;
        if (i + 1 < blob.size())
            reg += (i % 24 == 23) ? ",\\\r\n  " : ",";
    }
    reg += "\r\n\r\n";
    return reg;
}

bool IsIpAddress(const std::string& host) {
    unsigned char buf[16];
    return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

} // namespace

bool MakeDevCertificates(const DevCertificateRequest& request, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(request.strDir, ec);
    const std::string dir = request.strDir + "/";
    const std::string caCertPath = dir + "ca.pem";
    const std::string caKeyPath = dir + "ca.key";

    Key caKey;
    Cert caCert;
    if (fs::exists(caCertPath) && fs::exists(caKeyPath)) {
        std::FILE* f = std::fopen(caCertPath.c_str(), "rb");
        if (f) {
            caCert.reset(PEM_read_X509(f, nullptr, nullptr, nullptr));
            std::fclose(f);
        }
        f = std::fopen(caKeyPath.c_str(), "rb");
        if (f) {
            caKey.reset(PEM_read_PrivateKey(f, nullptr, nullptr, nullptr));
            std::fclose(f);
        }
        if (!caCert || !caKey) {
            error = "cannot read " + caCertPath + " and " + caKeyPath;
            return false;
        }
    } else {
        caKey = NewKey();
        if (!caKey || !(caCert = NewCertificate(caKey.get(), "Dravel On Development CA", -kDay, 3650 * kDay))) {
            error = "cannot make the certificate authority";
            return false;
        }
        X509_set_issuer_name(caCert.get(), X509_get_subject_name(caCert.get()));
        if (!AddExtension(caCert.get(), caCert.get(), NID_basic_constraints, "critical,CA:TRUE") ||
            !AddExtension(caCert.get(), caCert.get(), NID_key_usage, "critical,keyCertSign,cRLSign") ||
            !AddExtension(caCert.get(), caCert.get(), NID_subject_key_identifier, "hash") ||
            X509_sign(caCert.get(), caKey.get(), EVP_sha256()) == 0 ||
            !WritePem(caCertPath, caCert.get(), nullptr, nullptr) ||
            !WritePem(caKeyPath, nullptr, nullptr, caKey.get())) {
            error = "cannot write the certificate authority to " + dir;
            return false;
        }
        fs::permissions(caKeyPath, fs::perms::owner_read | fs::perms::owner_write, ec);
    }

    Key key = NewKey();
    const long from = request.bExpired ? -30 * kDay : -kDay;
    const long to = request.bExpired ? -kDay : 825 * kDay;
    Cert cert = key ? NewCertificate(key.get(), request.strHost, from, to) : nullptr;
    // An address goes in as an address and, for checkers that compare only names (Wine's), as a name too.
    const std::string san =
        IsIpAddress(request.strHost) ? "IP:" + request.strHost + ",DNS:" + request.strHost : "DNS:" + request.strHost;
    if (!cert) {
        error = "cannot make the server certificate";
        return false;
    }
    X509_set_issuer_name(cert.get(), X509_get_subject_name(caCert.get()));
    if (!AddExtension(cert.get(), caCert.get(), NID_basic_constraints, "critical,CA:FALSE") ||
        !AddExtension(cert.get(), caCert.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment") ||
        !AddExtension(cert.get(), caCert.get(), NID_ext_key_usage, "serverAuth") ||
        !AddExtension(cert.get(), caCert.get(), NID_subject_alt_name, san.c_str()) ||
        !AddExtension(cert.get(), caCert.get(), NID_authority_key_identifier, "keyid:always") ||
        X509_sign(cert.get(), caKey.get(), EVP_sha256()) == 0) {
        error = "cannot sign the server certificate for " + request.strHost;
        return false;
    }
    const std::string certPath = dir + request.strName + ".pem";
    const std::string keyPath = dir + request.strName + ".key";
    if (!WritePem(certPath, cert.get(), caCert.get(), nullptr) || !WritePem(keyPath, nullptr, nullptr, key.get())) {
        error = "cannot write " + certPath + " or " + keyPath;
        return false;
    }
    fs::permissions(keyPath, fs::perms::owner_read | fs::perms::owner_write, ec);

    const std::vector<unsigned char> der = Der(caCert.get());
    std::ofstream(dir + "ca.der", std::ios::binary)
        .write(reinterpret_cast<const char*>(der.data()), static_cast<std::streamsize>(der.size()));
    std::ofstream reg(dir + "ca.reg", std::ios::binary | std::ios::trunc);
    reg << WineRootRegistration(der);
    if (!reg) {
        error = "cannot write " + dir + "ca.reg";
        return false;
    }
    return true;
}

} // namespace dravel::devserver
