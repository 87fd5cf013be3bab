// A TLS server on 127.0.0.1 with an ephemeral port that answers every connection with fixed bytes,
// whatever they are: for replies no HTTP server library would send (no status line, broken
// headers, more bytes than announced). It reads the request's head, writes the reply and closes
// the connection; or, kept open, answers every request that comes on it until the client closes it.
#pragma once

#include "support/tls_test_server.hpp"

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace torvane::test {

class RawTlsReplyServer {
public:
    explicit RawTlsReplyServer(std::string reply);
    // Each reply is written as these pieces, each in a TLS record of its own, one after another
    // without delay. Kept open, a connection's later replies begin with held_back, as bytes a
    // server sent late would arrive: after the client's next request.
    enum class Connection { Close, KeepOpen };
    RawTlsReplyServer(std::vector<std::string> pieces, Connection connection, std::string held_back = {});
    ~RawTlsReplyServer();
    RawTlsReplyServer(const RawTlsReplyServer&) = delete;
    RawTlsReplyServer& operator=(const RawTlsReplyServer&) = delete;

    // "https://127.0.0.1:<port>" followed by the path.
    std::string url(std::string_view path) const;
    const std::string& ca_pem() const { return certificates_.ca_pem; }
    // Replies written whole so far, on every connection.
    int replies() const { return replies_.load(); }

private:
    void serve();

    TestCertificates certificates_;
    std::vector<std::string> pieces_;
    Connection connection_ = Connection::Close;
    std::string held_back_;
    std::atomic<int> replies_ = 0;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ = false;
    std::thread thread_;
};

} // namespace torvane::test
