#include "support/plain_http_server.hpp"

#include <chrono>
#include <stdexcept>

namespace torvane::test {

PlainHttpServer::PlainHttpServer() : server_(std::make_unique<httplib::Server>())
{
    server_->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        ++requests_;
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

PlainHttpServer::~PlainHttpServer()
{
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

void PlainHttpServer::start()
{
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("plain HTTP server: cannot bind");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only reaches a server that runs: wait for it (bounded).
    for (int i = 0; i < 5000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!server_->is_running())
        throw std::runtime_error("plain HTTP server: cannot start");
}

std::string PlainHttpServer::url(std::string_view path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

} // namespace torvane::test
