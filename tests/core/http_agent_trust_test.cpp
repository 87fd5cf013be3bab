// Which servers the agent trusts: a TLS server on loopback, reached by its host name, with
// certificates of test CAs. The system checks the chain as it checks it for any program (on Linux
// OpenSSL with the CA bundle and the extra roots, on Windows its chain engine), and the refusals
// read as the TLS library words its own checks.
#include "agent_fetch.hpp"
#include "core/http_agent.hpp"
#include "support/tls_test_server.hpp"

#include <gtest/gtest.h>

namespace torvane {
namespace {

using test::fetch_with_agent;

void serve_ok(test::TlsTestServer& server)
{
    server.routes().Get("/ok", [](const httplib::Request&, httplib::Response& res) { res.set_content("olá", "text/plain"); });
    server.start();
}

TEST(HttpAgentTrust, AcceptsAServerThatTheExtraRootsAnchor)
{
    const test::TestCa ca = test::make_test_ca();
    const test::TestCa other = test::make_test_ca();
    struct Case {
        const char* name;
        std::string extra_roots;
        test::TlsTestServer::SentChain sent;
    };
    const Case cases[] = {
        {"the CA alone", ca.certificate_pem, test::TlsTestServer::SentChain::ServerOnly},
        {"the CA sent with the certificate", ca.certificate_pem, test::TlsTestServer::SentChain::WithCa},
        {"the CA among other roots", other.certificate_pem + ca.certificate_pem,
         test::TlsTestServer::SentChain::ServerOnly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TlsTestServer server(test::issue_server_certificate(ca), c.sent);
        serve_ok(server);
        EXPECT_EQ(fetch_with_agent(c.extra_roots, server.localhost_url("/ok")), "olá");
    }
}

TEST(HttpAgentTrust, RefusesAServerWithTheTlsLibrarysReason)
{
    const test::TestCa ca = test::make_test_ca();
    struct Case {
        const char* name;
        test::TestCertificates certificates;
        test::TlsTestServer::SentChain sent;
        std::string extra_roots;
        std::string reason;
    };
    const Case cases[] = {
        {"a trusted CA's certificate for another host", test::issue_server_certificate(ca, "DNS:outro.invalid,IP:127.0.0.1"),
         test::TlsTestServer::SentChain::ServerOnly, ca.certificate_pem,
         "SSL: no alternative certificate subject name matches target host name 'localhost'"},
        {"a certificate from a CA nobody trusts", test::make_test_certificates(),
         test::TlsTestServer::SentChain::ServerOnly, ca.certificate_pem,
         "SSL certificate problem: unable to get local issuer certificate"},
        {"that CA sent with it", test::make_test_certificates(), test::TlsTestServer::SentChain::WithCa,
         ca.certificate_pem, "SSL certificate problem: self-signed certificate in certificate chain"},
        {"a trusted CA's certificate, expired",
         test::issue_server_certificate(ca, test::loopback_certificate_names, test::CertificateValidity::Expired),
         test::TlsTestServer::SentChain::ServerOnly, ca.certificate_pem,
         "SSL certificate problem: certificate has expired"},
        {"no extra roots", test::issue_server_certificate(ca), test::TlsTestServer::SentChain::ServerOnly, "",
         "SSL certificate problem: unable to get local issuer certificate"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TlsTestServer server(c.certificates, c.sent);
        serve_ok(server);
        const std::string url = server.localhost_url("/ok");
        EXPECT_EQ(fetch_with_agent(c.extra_roots, url), "erro: " + url + ": Connection Failed: " + c.reason);
    }
}

TEST(HttpAgentTrust, ExtraRootsWithoutACertificateCannotStartTls)
{
    EXPECT_FALSE(http_agent(5, 5, "isto não é PEM"));
    EXPECT_FALSE(http_agent(5, 5, "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"));
    EXPECT_TRUE(http_agent(5, 5, test::make_test_ca().certificate_pem));
}

} // namespace
} // namespace torvane
