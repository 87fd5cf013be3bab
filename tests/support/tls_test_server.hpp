// An HTTPS server inside the test process, on 127.0.0.1 with an ephemeral port, with a certificate
// from a test CA (by default one made when the server is made). Tests register their routes, start
// it, and give the client the CA's PEM text as an extra trusted root.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace torvane::test {

// A certificate authority that issues test servers' certificates: its certificate and key as PEM.
struct TestCa {
    std::string certificate_pem;
    std::string key_pem;
};
// A CA of its own, valid from an hour ago for two days.
TestCa make_test_ca();
// The CA kept in two PEM files, such as the test CA that an end-to-end build compiles in.
TestCa read_test_ca(const std::filesystem::path& certificate, const std::filesystem::path& key);

// A server certificate, the CA that signed it and the server's key, all as PEM text.
struct TestCertificates {
    std::string ca_pem;
    std::string server_certificate_pem;
    std::string server_key_pem;
};
inline constexpr const char* loopback_certificate_names = "IP:127.0.0.1,DNS:localhost";
enum class CertificateValidity {
    Current, // from an hour ago for two days
    Expired, // from three days ago to yesterday
};
// A server certificate that the CA signs for 127.0.0.1 and localhost (or for the names given, as
// an X.509 subjectAltName list such as "DNS:other.invalid").
TestCertificates issue_server_certificate(const TestCa& ca, const char* server_names = loopback_certificate_names,
                                          CertificateValidity validity = CertificateValidity::Current);
// The same from a CA of its own.
TestCertificates make_test_certificates(const char* server_names = loopback_certificate_names);

class TlsTestServer {
public:
    // What the server sends in its handshake: its own certificate, or that and its CA's.
    enum class SentChain { ServerOnly, WithCa };
    explicit TlsTestServer(TestCertificates certificates = make_test_certificates(),
                           SentChain sent = SentChain::ServerOnly);
    // Stops serving: handlers waiting in wait_for_stop return first, then the server thread ends.
    ~TlsTestServer();
    TlsTestServer(const TlsTestServer&) = delete;
    TlsTestServer& operator=(const TlsTestServer&) = delete;

    // Routes are registered before start().
    httplib::Server& routes() { return *server_; }
    // Binds to 127.0.0.1 on an ephemeral port and serves from a thread of its own.
    void start();

    int port() const { return port_; }
    // "https://127.0.0.1:<port>" followed by the path.
    std::string url(std::string_view path) const;
    // The same on the host name "localhost" (another origin for the same server).
    std::string localhost_url(std::string_view path) const;
    const std::string& ca_pem() const { return certificates_.ca_pem; }

    // For handlers that hold a response back: waits until the server stops or the limit passes.
    void wait_for_stop(std::chrono::milliseconds limit);

private:
    TestCertificates certificates_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable stop_signal_;
    bool stopping_ = false;
};

} // namespace torvane::test
