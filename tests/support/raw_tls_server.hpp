// A TLS server on 127.0.0.1 with an ephemeral port that answers every connection with fixed bytes,
// whatever they are: for replies no HTTP server library would send (no status line, broken
// headers). It reads the request's head, writes the reply and closes the connection.
#pragma once

#include "support/tls_test_server.hpp"

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

namespace torvane::test {

class RawTlsReplyServer {
public:
    explicit RawTlsReplyServer(std::string reply);
    ~RawTlsReplyServer();
    RawTlsReplyServer(const RawTlsReplyServer&) = delete;
    RawTlsReplyServer& operator=(const RawTlsReplyServer&) = delete;

    // "https://127.0.0.1:<port>" followed by the path.
    std::string url(std::string_view path) const;
    const std::string& ca_pem() const { return certificates_.ca_pem; }

private:
    void serve();

    TestCertificates certificates_;
    std::string reply_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

} // namespace torvane::test
