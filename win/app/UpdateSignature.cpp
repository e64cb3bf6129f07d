#include "win/app/UpdateSignature.h"

#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

namespace dravel::win {

namespace {

enum class Chain {
    Trusted,       // every signature, date and use checks out, up to a root the system trusts
    UntrustedRoot, // sound otherwise, but it ends in a root the system does not trust (or none it has)
    Invalid,       // a signature, a date, the use or anything else is wrong
};

struct Verification {
    LONG nStatus = TRUST_E_NOSIGNATURE;
    // The file is what was signed, and the signature itself reads right (whatever the chain says).
    bool bIntact = false;
    // The signer's certificate as encoded in the signature; empty when none could be read.
    std::vector<BYTE> signer;
    Chain chain = Chain::Invalid;
};

// Failures of the certificate chain alone: the signature and the file are sound.
bool IsChainOnly(LONG status) {
    switch (status) {
    case ERROR_SUCCESS:
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_CHAINING:
        return true;
    default:
        return false;
    }
}

// Each certificate's signature against its issuer's key, the root's against its own. Not left to the chain
// engine: some (Wine's) find the issuer by name and never check that it signed.
bool ChainSignaturesHold(const CERT_SIMPLE_CHAIN& chain) {
    for (DWORD i = 0; i < chain.cElement; ++i) {
        PCCERT_CONTEXT subject = chain.rgpElement[i]->pCertContext;
        PCCERT_CONTEXT issuer = i + 1 < chain.cElement ? chain.rgpElement[i + 1]->pCertContext : subject;
        if (!::CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
                                                 const_cast<CERT_CONTEXT*>(subject), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
                                                 const_cast<CERT_CONTEXT*>(issuer), 0, nullptr))
            return false;
    }
    return true;
}

// The signer's chain as the platform builds it for code signing, at the signature's time stamp when it has
// one (a signature made while the certificate was valid stays valid), else now. No network is used.
Chain CheckChain(PCCERT_CONTEXT signer, HCERTSTORE hMessageStore, const FILETIME* pTime) {
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof(para);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT context = nullptr;
    if (!::CertGetCertificateChain(nullptr, signer, const_cast<FILETIME*>(pTime), hMessageStore, &para,
                                   CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE,
                                   nullptr, &context) ||
        context == nullptr)
        return Chain::Invalid;
    constexpr DWORD kNoRevocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
    constexpr DWORD kUntrusted = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN;
    const DWORD errors = context->TrustStatus.dwErrorStatus & ~kNoRevocation;
    Chain result = Chain::Invalid;
    if (errors == 0)
        result = context->cChain > 0 && ChainSignaturesHold(*context->rgpChain[0]) ? Chain::Trusted : Chain::Invalid;
    else if ((errors & ~kUntrusted) == 0)
        result = Chain::UntrustedRoot;
    ::CertFreeCertificateChain(context);
    return result;
}

// The time the signature's verified time stamp gives, or nothing.
const FILETIME* TimeStamped(const CRYPT_PROVIDER_SGNR& signer) {
    if (signer.csCounterSigners == 0 || signer.pasCounterSigners == nullptr || signer.pasCounterSigners[0].dwError != 0)
        return nullptr;
    const FILETIME& time = signer.sftVerifyAsOf;
    return time.dwLowDateTime == 0 && time.dwHighDateTime == 0 ? nullptr : &time;
}

Verification Verify(HANDLE hFile, const std::wstring& path, bool bChain) {
    Verification result;
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    file.hFile = hFile;
    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_NONE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    result.nStatus = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (data.hWVTStateData == nullptr)
        return result;
    if (CRYPT_PROVIDER_DATA* prov = ::WTHelperProvDataFromStateData(data.hWVTStateData)) {
        // The steps before the chain: loading the signed message and checking the file against it.
        const bool bSteps = prov->padwTrustStepErrors != nullptr &&
                            prov->cdwTrustStepErrors > TRUSTERROR_STEP_FINAL_SIGPROV &&
                            prov->padwTrustStepErrors[TRUSTERROR_STEP_FINAL_OBJPROV] == 0 &&
                            prov->padwTrustStepErrors[TRUSTERROR_STEP_FINAL_SIGPROV] == 0;
        result.bIntact = bSteps && IsChainOnly(result.nStatus);
        if (CRYPT_PROVIDER_SGNR* signer = ::WTHelperGetProvSignerFromChain(prov, 0, FALSE, 0)) {
            if (CRYPT_PROVIDER_CERT* cert = ::WTHelperGetProvCertFromChain(signer, 0);
                cert != nullptr && cert->pCert != nullptr && cert->pCert->pbCertEncoded != nullptr) {
                result.signer.assign(cert->pCert->pbCertEncoded,
                                     cert->pCert->pbCertEncoded + cert->pCert->cbCertEncoded);
                if (bChain && result.bIntact) {
                    // The certificates the signature carries may complete the chain.
                    HCERTSTORE hStore = prov->hMsg
                                            ? ::CertOpenStore(CERT_STORE_PROV_MSG,
                                                              X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0, prov->hMsg)
                                            : nullptr;
                    result.chain = CheckChain(cert->pCert, hStore, TimeStamped(*signer));
                    if (hStore)
                        ::CertCloseStore(hStore, 0);
                }
            }
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}

// Subject and issuer both as the running program's signer has them.
bool SameNames(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    PCCERT_CONTEXT ca = ::CertCreateCertificateContext(X509_ASN_ENCODING, a.data(), static_cast<DWORD>(a.size()));
    PCCERT_CONTEXT cb = ::CertCreateCertificateContext(X509_ASN_ENCODING, b.data(), static_cast<DWORD>(b.size()));
    const bool bSame =
        ca && cb && ::CertCompareCertificateName(X509_ASN_ENCODING, &ca->pCertInfo->Subject, &cb->pCertInfo->Subject) &&
        ::CertCompareCertificateName(X509_ASN_ENCODING, &ca->pCertInfo->Issuer, &cb->pCertInfo->Issuer);
    if (ca)
        ::CertFreeCertificateContext(ca);
    if (cb)
        ::CertFreeCertificateContext(cb);
    return bSame;
}

UpdaterSignature Judge(const Verification& theirs, const std::wstring& ownProgram) {
    if (theirs.nStatus == TRUST_E_NOSIGNATURE || theirs.nStatus == TRUST_E_SUBJECT_FORM_UNKNOWN)
        return UpdaterSignature::Unsigned;
    if (!theirs.bIntact || theirs.signer.empty())
        return UpdaterSignature::Broken;
    const Verification ours = Verify(nullptr, ownProgram, false);
    if (!ours.bIntact || ours.signer.empty())
        return UpdaterSignature::OtherPublisher;
    switch (theirs.chain) {
    case Chain::Trusted:
        return SameNames(theirs.signer, ours.signer) ? UpdaterSignature::SamePublisher
                                                     : UpdaterSignature::OtherPublisher;
    case Chain::UntrustedRoot:
        return theirs.signer == ours.signer ? UpdaterSignature::SamePublisher : UpdaterSignature::OtherPublisher;
    case Chain::Invalid:
        break;
    }
    return UpdaterSignature::OtherPublisher;
}

} // namespace

UpdaterSignature CheckUpdaterSignature(HANDLE hFile, const std::wstring& path, const std::wstring& ownProgram) {
    return Judge(Verify(hFile, path, true), ownProgram);
}

} // namespace dravel::win
