// The root certificates that the operating system itself trusts, for the HTTPS agent's store.
#pragma once

#include <string>
#include <vector>

namespace torvane::platform {

// Each root of the system's own store as DER bytes. Empty where the system keeps its roots in
// files that the TLS library reads itself (Linux: the CA bundle that curl names).
std::vector<std::string> system_root_certificates();

} // namespace torvane::platform
