#include "platform/system_roots.hpp"

namespace torvane::platform {

// Linux keeps its roots in the CA bundle, which the agent loads through curl's default paths.
std::vector<std::string> system_root_certificates() { return {}; }

} // namespace torvane::platform
