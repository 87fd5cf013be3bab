#include "support/raw_tls_server.hpp"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <stdexcept>

namespace torvane::test {

namespace {

struct ContextDeleter {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslDeleter {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// A server context holding the certificate and key given as PEM text.
std::unique_ptr<SSL_CTX, ContextDeleter> server_context(const TestCertificates& certificates)
{
    std::unique_ptr<SSL_CTX, ContextDeleter> context(SSL_CTX_new(TLS_server_method()));
    BIO* certificate_bio = BIO_new_mem_buf(certificates.server_certificate_pem.data(),
                                           static_cast<int>(certificates.server_certificate_pem.size()));
    X509* certificate = PEM_read_bio_X509(certificate_bio, nullptr, nullptr, nullptr);
    BIO_free(certificate_bio);
    BIO* key_bio = BIO_new_mem_buf(certificates.server_key_pem.data(), static_cast<int>(certificates.server_key_pem.size()));
    EVP_PKEY* key = PEM_read_bio_PrivateKey(key_bio, nullptr, nullptr, nullptr);
    BIO_free(key_bio);
    bool ok = context && certificate && key && SSL_CTX_use_certificate(context.get(), certificate) == 1
              && SSL_CTX_use_PrivateKey(context.get(), key) == 1;
    X509_free(certificate);
    EVP_PKEY_free(key);
    if (!ok)
        throw std::runtime_error("raw TLS server: certificate set-up failed");
    return context;
}

} // namespace

RawTlsReplyServer::RawTlsReplyServer(std::string reply)
    : RawTlsReplyServer(std::vector<std::string> {std::move(reply)}, Connection::Close)
{
}

RawTlsReplyServer::RawTlsReplyServer(std::vector<std::string> pieces, Connection connection, std::string held_back)
    : certificates_(make_test_certificates()), pieces_(std::move(pieces)), connection_(connection),
      held_back_(std::move(held_back))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener_, 16) != 0
        || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("raw TLS server: cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

RawTlsReplyServer::~RawTlsReplyServer()
{
    stopping_ = true;
    thread_.join();
    ::close(listener_);
}

std::string RawTlsReplyServer::url(std::string_view path) const
{
    return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void RawTlsReplyServer::serve()
{
    // A client may close while a reply is still being written: a failed write, not the end of the tests.
    ::signal(SIGPIPE, SIG_IGN);
    auto context = server_context(certificates_);
    while (!stopping_) {
        pollfd waiting {listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0)
            continue;
        int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        // Each piece leaves at once, not held until the client acknowledges the one before.
        int no_delay = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
        std::unique_ptr<SSL, SslDeleter> ssl(SSL_new(context.get()));
        SSL_set_fd(ssl.get(), connection);
        if (SSL_accept(ssl.get()) == 1) {
            std::string received;
            char buffer[4096];
            bool open = true;
            for (int reply = 0; open; ++reply) {
                // The request's head (requests carry no body); what follows it begins the next one.
                std::size_t head_end = std::string::npos;
                while (open && (head_end = received.find("\r\n\r\n")) == std::string::npos) {
                    pollfd readable {connection, POLLIN, 0};
                    if (SSL_pending(ssl.get()) == 0 && ::poll(&readable, 1, 50) <= 0) {
                        open = !stopping_;
                        continue;
                    }
                    int got = SSL_read(ssl.get(), buffer, sizeof buffer);
                    if (got <= 0)
                        open = false;
                    else
                        received.append(buffer, static_cast<std::size_t>(got));
                }
                if (!open && connection_ == Connection::KeepOpen)
                    break; // the client closed its kept connection
                if (open)
                    received.erase(0, head_end + 4);
                if (reply > 0 && !held_back_.empty())
                    SSL_write(ssl.get(), held_back_.data(), static_cast<int>(held_back_.size()));
                for (const std::string& piece : pieces_)
                    SSL_write(ssl.get(), piece.data(), static_cast<int>(piece.size()));
                ++replies_;
                open = open && connection_ == Connection::KeepOpen;
            }
            SSL_shutdown(ssl.get());
        }
        ssl.reset();
        ::close(connection);
    }
}

} // namespace torvane::test
