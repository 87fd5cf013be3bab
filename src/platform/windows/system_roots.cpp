#include "platform/system_roots.hpp"

#include <windows.h>
#include <wincrypt.h>

namespace torvane::platform {

std::vector<std::string> system_root_certificates()
{
    // The current user's view of the trusted roots: the machine's roots and the user's own.
    std::vector<std::string> roots;
    HCERTSTORE store = ::CertOpenSystemStoreW(0, L"ROOT");
    if (!store)
        return roots;
    for (PCCERT_CONTEXT certificate = ::CertEnumCertificatesInStore(store, nullptr); certificate;
         certificate = ::CertEnumCertificatesInStore(store, certificate)) {
        roots.emplace_back(reinterpret_cast<const char*>(certificate->pbCertEncoded), certificate->cbCertEncoded);
    }
    ::CertCloseStore(store, 0);
    return roots;
}

} // namespace torvane::platform
