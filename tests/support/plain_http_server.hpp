// A plain HTTP server (no TLS) inside the test process, on 127.0.0.1 with an ephemeral port, that
// counts every request it receives: the place an insecure redirect would lead to.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace torvane::test {

class PlainHttpServer {
public:
    PlainHttpServer();
    ~PlainHttpServer();
    PlainHttpServer(const PlainHttpServer&) = delete;
    PlainHttpServer& operator=(const PlainHttpServer&) = delete;

    // Routes are registered before start().
    httplib::Server& routes() { return *server_; }
    // Binds to 127.0.0.1 on an ephemeral port and serves from a thread of its own.
    void start();

    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(std::string_view path) const;
    int port() const { return port_; }
    // Requests received so far, routed or not.
    int requests() const { return requests_.load(); }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> requests_ = 0;
};

} // namespace torvane::test
