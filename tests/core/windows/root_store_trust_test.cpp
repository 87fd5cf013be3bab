// Windows' own roots under Wine: a CA that only the user's ROOT store holds (the test prefix's,
// added here and removed at the end) anchors the server's chain for an agent without extra roots.
#include "../agent_fetch.hpp"
#include "core/http_agent.hpp"
#include "support/tls_test_server.hpp"

#include <gtest/gtest.h>

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <windows.h>
#include <wincrypt.h>

namespace torvane {
namespace {

std::string der_of_pem(const std::string& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    unsigned char* der = nullptr;
    int length = certificate ? i2d_X509(certificate, &der) : 0;
    std::string bytes = length > 0 ? std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length)) : "";
    OPENSSL_free(der);
    X509_free(certificate);
    return bytes;
}

// The registry part of the user's ROOT store: what is added to or deleted from it stays so (the
// system store around it keeps a deletion to itself under Wine).
HCERTSTORE open_user_root_store()
{
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
}

// A certificate in the current user's ROOT store for as long as it lives. (On a real Windows,
// adding to that store asks the user first; Wine does not.)
class UserRoot {
public:
    explicit UserRoot(const std::string& pem) : der_(der_of_pem(pem))
    {
        HCERTSTORE store = open_user_root_store();
        added_ = store && ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der_.data()),
                                                             static_cast<DWORD>(der_.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                             nullptr);
        // The store writes what was added to the registry when it closes.
        if (store)
            ::CertCloseStore(store, 0);
    }
    ~UserRoot()
    {
        HCERTSTORE store = open_user_root_store();
        if (!store)
            return;
        PCCERT_CONTEXT wanted = ::CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der_.data()),
                                                               static_cast<DWORD>(der_.size()));
        if (wanted) {
            if (PCCERT_CONTEXT found = ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr))
                ::CertDeleteCertificateFromStore(found); // frees found
            ::CertFreeCertificateContext(wanted);
        }
        ::CertCloseStore(store, 0);
    }
    UserRoot(const UserRoot&) = delete;
    UserRoot& operator=(const UserRoot&) = delete;
    bool added() const { return added_; }

private:
    std::string der_;
    bool added_ = false;
};

// Through the system's roots alone: no extra roots.
std::string fetch(const std::string& url) { return test::fetch_with_agent("", url); }

TEST(HttpAgentWindowsRoots, ACaInTheUsersRootStoreAloneIsTrusted)
{
    // Added before the process builds its first chain: Wine's chain engine reads the root store
    // once, when it is first used. (That the CA is trusted nowhere else is the agent trust tests'
    // case without extra roots.)
    const test::TestCa ca = test::make_test_ca();
    UserRoot root(ca.certificate_pem);
    ASSERT_TRUE(root.added());
    auto ok = [](const httplib::Request&, httplib::Response& res) { res.set_content("olá", "text/plain"); };

    test::TlsTestServer server(test::issue_server_certificate(ca));
    server.routes().Get("/ok", ok);
    server.start();
    EXPECT_EQ(fetch(server.localhost_url("/ok")), "olá");

    // An expired certificate of that root is refused all the same.
    test::TlsTestServer expired(
        test::issue_server_certificate(ca, test::loopback_certificate_names, test::CertificateValidity::Expired));
    expired.routes().Get("/ok", ok);
    expired.start();
    const std::string url = expired.localhost_url("/ok");
    EXPECT_EQ(fetch(url), "erro: " + url + ": Connection Failed: SSL certificate problem: certificate has expired");
}

} // namespace
} // namespace torvane
