#pragma once
// The platform's own signature check (WinVerifyTrust) of a downloaded updater, and whether its signer is
// the publisher of the running program.

#include "core/app/Startup.h"

#include <windows.h>

#include <string>

namespace dravel::win {

// SamePublisher only when the updater's signature is intact (the file is what was signed) and its signer is
// the running program's publisher: either its chain checks out up to a root the system trusts (signatures,
// dates at the signature's time stamp or now, code-signing use) and it has the subject and the issuer of the
// certificate that signed `ownProgram` (a renewed certificate of the same publisher), or its chain ends in
// a root the system does not trust (a development certificate, a publisher's own root) and it is byte for
// byte the certificate that signed `ownProgram`. No network is used (no revocation or certificate downloads).
// hFile is the updater, opened for reading and held so that nobody can change it; path names it.
UpdaterSignature CheckUpdaterSignature(HANDLE hFile, const std::wstring& path, const std::wstring& ownProgram);

} // namespace dravel::win
