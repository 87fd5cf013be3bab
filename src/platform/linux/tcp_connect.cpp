#include "platform/tcp_connect.hpp"
#include "platform/file_descriptor.hpp"
#include "platform/files.hpp"
#include "platform/socket_addresses.hpp"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>

namespace torvane::platform {

Result<std::vector<SocketAddress>> resolve_tcp_addresses(std::string_view host, std::uint16_t port)
{
    if (host.find('\0') != std::string_view::npos)
        return failure(os_error_text(EINVAL));
    std::string name(host);
    sockaddr_in v4{};
    if (::inet_pton(AF_INET, name.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        return std::vector{socket_address(v4)};
    }
    sockaddr_in6 v6{};
    if (::inet_pton(AF_INET6, name.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        return std::vector{socket_address(v6)};
    }

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string service = std::to_string(port);
    int rc = ::getaddrinfo(name.c_str(), service.c_str(), &hints, &found);
    if (rc != 0)
        return failure(rc == EAI_SYSTEM ? last_os_error_text() : std::string(::gai_strerror(rc)));
    std::vector<SocketAddress> addresses = socket_addresses(found);
    ::freeaddrinfo(found);
    if (addresses.empty())
        return failure(::gai_strerror(EAI_NONAME));
    return addresses;
}

Status tcp_connect_and_close(const SocketAddress& address, std::chrono::milliseconds timeout)
{
    const auto* target = reinterpret_cast<const sockaddr*>(address.storage.data());
    FileDescriptor socket(::socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.is_open())
        return failure(last_os_error_text());
    if (::connect(socket.get(), target, address.size) == 0)
        return {};
    if (errno != EINPROGRESS && errno != EINTR)
        return failure(last_os_error_text());

    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return failure(os_error_text(ETIMEDOUT));
        pollfd entry{socket.get(), POLLOUT, 0};
        int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return failure(last_os_error_text());
        }
        if (ready == 0)
            return failure(os_error_text(ETIMEDOUT));
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            return failure(last_os_error_text());
        if (error != 0)
            return failure(os_error_text(error));
        return {};
    }
}

} // namespace torvane::platform
