#include "win/app/UpdateSignature.h"

#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

namespace dravel::win {

namespace {

struct Verification {
    LONG nStatus = TRUST_E_NOSIGNATURE;
    // The file is what was signed, and the signature itself reads right (whatever the chain says).
    bool bIntact = false;
    // The signer's certificate as encoded in the signature; empty when none could be read.
    std::vector<BYTE> signer;
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

Verification Verify(const std::wstring& path) {
    Verification result;
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
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
                cert != nullptr && cert->pCert != nullptr && cert->pCert->pbCertEncoded != nullptr)
                result.signer.assign(cert->pCert->pbCertEncoded,
                                     cert->pCert->pbCertEncoded + cert->pCert->cbCertEncoded);
        }
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}

} // namespace

UpdaterSignature CheckUpdaterSignature(const std::wstring& updater, const std::wstring& ownProgram) {
    const Verification theirs = Verify(updater);
    if (theirs.nStatus == TRUST_E_NOSIGNATURE || theirs.nStatus == TRUST_E_SUBJECT_FORM_UNKNOWN)
        return UpdaterSignature::Unsigned;
    if (!theirs.bIntact || theirs.signer.empty())
        return UpdaterSignature::Broken;
    const Verification ours = Verify(ownProgram);
    if (!ours.bIntact || ours.signer.empty() || ours.signer != theirs.signer)
        return UpdaterSignature::OtherPublisher;
    return UpdaterSignature::SamePublisher;
}

} // namespace dravel::win
