#include "platform/tcp_connect.hpp"
#include "platform/files.hpp"
#include "platform/socket_addresses.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/windows/win32.hpp"

#include <string>

namespace torvane::platform {

namespace {

// Winsock is started once for the process and left running until it ends.
Status start_winsock()
{
    static const int started = [] {
        WSADATA data {};
        return ::WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0)
        return failure(os_error_text(started));
    return {};
}

class UniqueSocket {
public:
    explicit UniqueSocket(SOCKET socket) : socket_(socket) {}
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;
    ~UniqueSocket()
    {
        if (socket_ != INVALID_SOCKET)
            ::closesocket(socket_);
    }
    SOCKET get() const { return socket_; }

private:
    SOCKET socket_;
};

std::string last_socket_error_text() { return os_error_text(::WSAGetLastError()); }

} // namespace

Result<std::vector<SocketAddress>> resolve_tcp_addresses(std::string_view host, std::uint16_t port)
{
    if (host.find('\0') != std::string_view::npos)
        return failure(os_error_text(WSAEINVAL));
    TRY(start_winsock());
    std::string name(host);
    sockaddr_in v4 {};
    if (::inet_pton(AF_INET, name.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = ::htons(port);
        return std::vector {socket_address(v4)};
    }
    sockaddr_in6 v6 {};
    if (::inet_pton(AF_INET6, name.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = ::htons(port);
        return std::vector {socket_address(v6)};
    }

    const std::wstring wide_name = to_wide(host);
    const std::wstring service = std::to_wstring(port);
    ADDRINFOW hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    // The resolver's result is a Winsock error code, whose system message is its text.
    if (int rc = ::GetAddrInfoW(wide_name.c_str(), service.c_str(), &hints, &found); rc != 0)
        return failure(os_error_text(rc));
    std::vector<SocketAddress> addresses = socket_addresses(found);
    ::FreeAddrInfoW(found);
    if (addresses.empty())
        return failure(os_error_text(WSAHOST_NOT_FOUND));
    return addresses;
}

Status tcp_connect_and_close(const SocketAddress& address, std::chrono::milliseconds timeout)
{
    TRY(start_winsock());
    const auto* target = reinterpret_cast<const sockaddr*>(address.storage.data());
    UniqueSocket socket(::WSASocketW(target->sa_family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    if (socket.get() == INVALID_SOCKET)
        return failure(last_socket_error_text());
    u_long non_blocking = 1;
    if (::ioctlsocket(socket.get(), FIONBIO, &non_blocking) != 0)
        return failure(last_socket_error_text());
    if (::connect(socket.get(), target, static_cast<int>(address.size)) == 0)
        return {};
    if (::WSAGetLastError() != WSAEWOULDBLOCK)
        return failure(last_socket_error_text());

    // A connection that fails shows in the exception set, one that succeeds in the write set.
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return failure(os_error_text(WSAETIMEDOUT));
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket.get(), &writable);
        FD_SET(socket.get(), &failed);
        timeval wait {static_cast<long>(left.count() / 1000000), static_cast<long>(left.count() % 1000000)};
        int ready = ::select(0, nullptr, &writable, &failed, &wait);
        if (ready == SOCKET_ERROR)
            return failure(last_socket_error_text());
        if (ready == 0)
            return failure(os_error_text(WSAETIMEDOUT));
        int error = 0;
        int length = sizeof error;
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
            return failure(last_socket_error_text());
        if (error != 0)
            return failure(os_error_text(error));
        if (FD_ISSET(socket.get(), &failed))
            return failure(os_error_text(WSAECONNREFUSED));
        return {};
    }
}

} // namespace torvane::platform
