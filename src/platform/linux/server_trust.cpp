#include "platform/server_trust.hpp"

namespace torvane::platform {

// The TLS library checks chains against the CA bundle that curl names and the extra roots.
Result<std::shared_ptr<const ServerChainJudge>> open_server_chain_judge(std::span<const std::string>)
{
    return nullptr;
}

} // namespace torvane::platform
