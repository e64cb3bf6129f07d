#pragma once
// The platform's own signature check (WinVerifyTrust) of a downloaded updater, against the certificate
// the running program itself is signed with.

#include "core/app/Startup.h"

#include <string>

namespace dravel::win {

// SamePublisher only when the updater's signature is intact (the file is what was signed) and its signer
// certificate is byte for byte the one that signed `ownProgram`. A chain the machine does not trust is
// accepted for that certificate (a development certificate, or a publisher's own root): trusting the
// updater is then trusting ourselves. No network is used (no revocation or certificate downloads).
UpdaterSignature CheckUpdaterSignature(const std::wstring& updater, const std::wstring& ownProgram);

} // namespace dravel::win
