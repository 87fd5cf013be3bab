// Who decides whether a TLS server's certificate chain is trusted. On Windows the system's own
// chain engine does, as it does for every program that speaks TLS there: it fetches missing roots
// and intermediates when it needs them, and honours distrusted certificates and the machine's
// policy. Linux has no such engine: its roots are a bundle of files that the TLS library reads.
#pragma once

#include "platform/result.hpp"

#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace torvane::platform {

// The system's finding on a server's chain: trusted, or why not.
enum class ChainVerdict {
    Trusted,
    NameMismatch,  // a trusted chain for another host
    Expired,       // a certificate of the chain is past its end
    NotYetValid,   // a certificate of the chain starts later
    IssuerUnknown, // no issuer found for some certificate: no chain to a trusted root
    SelfSigned,    // the server's own certificate is self-signed and not trusted
    UntrustedRoot, // the chain ends in a root that nothing trusts
    Distrusted,    // a certificate of the chain is explicitly distrusted
    Revoked,
    WrongUsage,    // not valid for server authentication
    BadSignature,
    InvalidCa,     // a certificate that issues others is not allowed to
    Invalid,       // any other defect
};

// The system's judge of server chains. Thread-safe.
class ServerChainJudge {
public:
    virtual ~ServerChainJudge() = default;
    // The chain as the server sent it (DER, its own certificate first), for the host name it was
    // asked for (a DNS name or an address, without brackets). Trusted when the system's roots, or
    // the extra roots the judge was opened with, anchor it.
    virtual ChainVerdict judge(std::span<const std::string> chain, std::string_view host_name) const = 0;
};

// Opens the system's judge with the extra roots (DER certificates) in an in-memory certificate
// store of its own. Fails when that store cannot be opened or refuses a root. None where the
// system has no judge and the TLS library checks chains itself (Linux).
Result<std::shared_ptr<const ServerChainJudge>> open_server_chain_judge(std::span<const std::string> extra_roots);

} // namespace torvane::platform
