#include "platform/server_trust.hpp"
#include "platform/windows/win32.hpp"

#include <wincrypt.h>

#include <cstddef>

namespace torvane::platform {

namespace {

struct StoreCloser {
    void operator()(HCERTSTORE store) const { ::CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;
struct CertificateFreer {
    void operator()(PCCERT_CONTEXT certificate) const { ::CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;
struct ChainFreer {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { ::CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreer>;

constexpr DWORD certificate_encoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

Store open_memory_store()
{
    return Store(::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
}

// Adds a DER certificate; the store's own copy in added when asked for (the caller frees it).
bool add_certificate(HCERTSTORE store, const std::string& der, PCCERT_CONTEXT* added = nullptr)
{
    return ::CertAddEncodedCertificateToStore(store, certificate_encoding, reinterpret_cast<const BYTE*>(der.data()),
                                              static_cast<DWORD>(der.size()), CERT_STORE_ADD_USE_EXISTING, added);
}

bool is_anchor_failure(ChainVerdict verdict)
{
    return verdict == ChainVerdict::IssuerUnknown || verdict == ChainVerdict::SelfSigned
           || verdict == ChainVerdict::UntrustedRoot;
}

ChainVerdict time_verdict(const CERT_SIMPLE_CHAIN& chain)
{
    for (DWORD i = 0; i < chain.cElement; ++i) {
        const CERT_CHAIN_ELEMENT& element = *chain.rgpElement[i];
        if (element.TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID)
            return ::CertVerifyTimeValidity(nullptr, element.pCertContext->pCertInfo) < 0 ? ChainVerdict::NotYetValid
                                                                                        : ChainVerdict::Expired;
    }
    return ChainVerdict::Expired;
}

// The chain engine's findings, the gravest first and the way to a root before the certificates'
// use, signatures and times. The SSL policy alone does not do: Wine's accepts a chain that
// reaches no root at all.
ChainVerdict verdict_of_trust(const CERT_CHAIN_CONTEXT& chain)
{
    // Validity periods of a certificate and its issuer that do not nest are no defect today.
    const DWORD errors = chain.TrustStatus.dwErrorStatus & ~static_cast<DWORD>(CERT_TRUST_IS_NOT_TIME_NESTED);
    if (errors == CERT_TRUST_NO_ERROR)
        return ChainVerdict::Trusted;
    if (errors & CERT_TRUST_IS_EXPLICIT_DISTRUST)
        return ChainVerdict::Distrusted;
    if (errors & CERT_TRUST_IS_REVOKED)
        return ChainVerdict::Revoked;
    if (errors & CERT_TRUST_IS_PARTIAL_CHAIN)
        return ChainVerdict::IssuerUnknown;
    if (errors & CERT_TRUST_IS_UNTRUSTED_ROOT)
        return chain.cChain > 0 && chain.rgpChain[0]->cElement == 1 ? ChainVerdict::SelfSigned
                                                                     : ChainVerdict::UntrustedRoot;
    if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE)
        return ChainVerdict::WrongUsage;
    if (errors & CERT_TRUST_INVALID_BASIC_CONSTRAINTS)
        return ChainVerdict::InvalidCa;
    if (errors & CERT_TRUST_IS_NOT_SIGNATURE_VALID)
        return ChainVerdict::BadSignature;
    if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) && chain.cChain > 0)
        return time_verdict(*chain.rgpChain[0]);
    return ChainVerdict::Invalid;
}

// The SSL policy of a server's chain for the host name.
ChainVerdict verdict_of_ssl_policy(PCCERT_CHAIN_CONTEXT chain, const std::wstring& host_name)
{
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host_name.c_str());
    CERT_CHAIN_POLICY_PARA para {};
    para.cbSize = sizeof para;
    para.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status {};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status))
        return ChainVerdict::Invalid;
    switch (status.dwError) {
    case ERROR_SUCCESS:
        return ChainVerdict::Trusted;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return ChainVerdict::NameMismatch;
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return ChainVerdict::Expired;
    case static_cast<DWORD>(CERT_E_CHAINING):
        return ChainVerdict::IssuerUnknown;
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        return ChainVerdict::UntrustedRoot;
    case static_cast<DWORD>(TRUST_E_EXPLICIT_DISTRUST):
        return ChainVerdict::Distrusted;
    case static_cast<DWORD>(CERT_E_REVOKED):
        return ChainVerdict::Revoked;
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
        return ChainVerdict::WrongUsage;
    case static_cast<DWORD>(TRUST_E_CERT_SIGNATURE):
        return ChainVerdict::BadSignature;
    default:
        return ChainVerdict::Invalid;
    }
}

// Builds the leaf's chain for server authentication on the engine (with the certificates the
// server sent beside it) and judges it. No revocation check is asked for, as WinHTTP asks for
// none by default: a network that blocks the revocation lists would refuse the service
// everywhere. Certificates Windows itself distrusts (its Disallowed store) are refused all the
// same.
ChainVerdict judge_on(HCERTCHAINENGINE engine, PCCERT_CONTEXT leaf, HCERTSTORE sent, const std::wstring& host_name)
{
    LPSTR server_authentication[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para {};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = server_authentication;
    PCCERT_CHAIN_CONTEXT made = nullptr;
    if (!::CertGetCertificateChain(engine, leaf, nullptr, sent, &para, 0, nullptr, &made))
        return ChainVerdict::Invalid;
    Chain chain(made);
    ChainVerdict trust = verdict_of_trust(*chain);
    return trust == ChainVerdict::Trusted ? verdict_of_ssl_policy(chain.get(), host_name) : trust;
}

class WindowsChainJudge final : public ServerChainJudge {
public:
    WindowsChainJudge(Store extra_roots, HCERTCHAINENGINE extra_engine)
        : extra_roots_(std::move(extra_roots)), extra_engine_(extra_engine)
    {
    }
    ~WindowsChainJudge() override
    {
        if (extra_engine_)
            ::CertFreeCertificateChainEngine(extra_engine_);
    }
    WindowsChainJudge(const WindowsChainJudge&) = delete;
    WindowsChainJudge& operator=(const WindowsChainJudge&) = delete;

    // First the system's own engine, which trusts what Windows trusts; when it finds no trusted
    // root, the engine of the extra roots. A chain that one of them anchors but that has another
    // defect (a time, a name) is refused for that defect.
    ChainVerdict judge(std::span<const std::string> chain, std::string_view host_name) const override
    {
        if (chain.empty())
            return ChainVerdict::Invalid;
        Store sent = open_memory_store();
        if (!sent)
            return ChainVerdict::Invalid;
        PCCERT_CONTEXT added = nullptr;
        if (!add_certificate(sent.get(), chain.front(), &added))
            return ChainVerdict::Invalid;
        Certificate leaf(added);
        for (const std::string& certificate : chain.subspan(1))
            (void)add_certificate(sent.get(), certificate); // one the system cannot read is of no help to a chain
        const std::wstring host = to_wide(host_name);
        ChainVerdict system = judge_on(HCCE_CURRENT_USER, leaf.get(), sent.get(), host);
        if (!is_anchor_failure(system) || !extra_engine_)
            return system;
        ChainVerdict extra = judge_on(extra_engine_, leaf.get(), sent.get(), host);
        return is_anchor_failure(extra) ? system : extra;
    }

private:
    Store extra_roots_;
    HCERTCHAINENGINE extra_engine_ = nullptr; // trusts exactly the extra roots; none without them
};

} // namespace

Result<std::shared_ptr<const ServerChainJudge>> open_server_chain_judge(std::span<const std::string> extra_roots)
{
    Store store = open_memory_store();
    if (!store)
        return failure("o repositório de certificados em memória não pôde ser aberto");
    for (const std::string& root : extra_roots)
        if (!add_certificate(store.get(), root))
            return failure("uma raiz adicional foi recusada pelo repositório de certificados");
    HCERTCHAINENGINE engine = nullptr;
    if (!extra_roots.empty()) {
        CERT_CHAIN_ENGINE_CONFIG config {};
        // The structure as Windows 7 has it, up to the exclusive trusted people: later Windows
        // take that size too, and Wine 8 refuses the larger one of Windows 8.
        config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
        config.hExclusiveRoot = store.get();
        if (!::CertCreateCertificateChainEngine(&config, &engine))
            return failure("o motor de cadeias de certificados não pôde ser criado");
    }
    return std::make_shared<const WindowsChainJudge>(std::move(store), engine);
}

} // namespace torvane::platform
