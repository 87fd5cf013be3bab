// The launcher's HTTPS client: blocking GET requests with connect and read time-outs, at most five
// redirects, a connection pool shared by the threads of one run, and the launcher's "User-Agent"
// on every request. Only https is spoken: a plain http address, given or redirected to, fails
// before anything is sent to it.
#pragma once

#include "platform/result.hpp"

#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torvane {

// The header value every request carries, once.
inline constexpr const char http_user_agent[] = "TorvaneLauncher/2.1";

// Most redirects followed in a row; one more fails with "Too Many Redirects".
inline constexpr int http_max_redirects = 5;

// The text of a body that ended before its "Content-Length" (or its last chunk).
inline constexpr const char http_body_closed_early_text[] = "response body closed before all bytes were read";

struct HttpError {
    enum class Kind {
        Status,    // the final response had a status of 400 or more
        Transport, // anything else: address, name, connection, TLS, time-out, redirects, malformed reply
    };
    Kind kind = Kind::Transport;
    int status = 0; // the status code of a Status error, 0 otherwise
    // "<url>: status code 404" or "<url>: <kind text>[: <message>]", kind texts such as "Dns Failed",
    // "Connection Failed", "Too Many Redirects", "Network Error", "Insecure request attempted with
    // https_only set" (a plain http address).
    std::string text;
};

struct HttpAgentState;
struct HttpTransfer;

// A response whose status is below 400. Move-only; used by one thread at a time. Reaching the end
// of the body returns the connection to the agent's pool, unless bytes past that end are waiting on
// it; dropping the response before that closes the connection. A request on a pooled connection
// whose reply begins with bytes that are no HTTP answer (a late tail of the one before) is sent
// once more on a new connection.
class HttpResponse {
public:
    HttpResponse(HttpResponse&&) noexcept;
    HttpResponse& operator=(HttpResponse&&) noexcept;
    ~HttpResponse();

    int status() const;
    // The address that answered (after redirects).
    const std::string& url() const;
    // The first header of that name (ASCII case-insensitive), its value trimmed; none when absent.
    std::optional<std::string> header(std::string_view name) const;

    // Reads the next bytes of the body into buffer (not empty): the count read, 0 at the end of the body.
    // Fails with http_body_closed_early_text when the connection closes before the body is whole,
    // and with "timed out reading response" when no byte arrives within the read time-out or when,
    // over a span of waiting as long as the read time-out, fewer than 1,024 bytes a second arrive
    // on average (the whole response counts, from the moment its connection stood).
    Result<std::size_t> read(std::span<char> buffer);
    // Reads until the end of the body or until limit bytes have been read, whichever comes first.
    Result<std::string> read_up_to(std::size_t limit);

private:
    friend class HttpAgent;
    HttpResponse(std::shared_ptr<HttpAgentState> agent, std::unique_ptr<HttpTransfer> transfer, std::string url,
                 int status);

    std::shared_ptr<HttpAgentState> agent_;
    std::unique_ptr<HttpTransfer> transfer_; // none once the body has ended or failed
    std::string url_;
    int status_ = 0;
    std::vector<std::pair<std::string, std::string>> headers_;
    // The error that ended the body, repeated by every later read.
    std::optional<std::string> body_error_;

    std::unexpected<std::string> end_body(std::unexpected<std::string> error);
};

// A handle on one agent: copies share the same settings and connection pool, and may be used from
// several threads at once.
class HttpAgent {
public:
    // GET of the address. A status of 400 or more is an error of kind Status carrying the code.
    std::expected<HttpResponse, HttpError> get(std::string_view url) const;

private:
    friend Result<HttpAgent> http_agent(int, int, std::string_view);
    explicit HttpAgent(std::shared_ptr<HttpAgentState> state) : state_(std::move(state)) {}

    std::shared_ptr<HttpAgentState> state_;
};

// An agent with the connect time-out and the read time-out in whole seconds: each read, and the
// wait for the response, may take that long without a byte arriving, and no span of waiting that
// long may bring fewer than 1,024 bytes a second. A server's certificate chain is trusted when the
// system's roots or the extra roots compiled into the program (TORVANE_EXTRA_ROOT_CA) anchor it:
// on Windows the system's chain engine judges it, with the extra roots in an in-memory store of
// the agent's own; on Linux OpenSSL checks it against the system's CA bundle and the extra roots.
// Fails when the TLS set-up cannot be made: the in-memory store cannot be opened, or the extra
// roots hold no certificate.
Result<HttpAgent> http_agent(int connect_seconds, int read_seconds);

// The same with extra trusted roots given as PEM text in place of the compiled-in ones (empty: none).
Result<HttpAgent> http_agent(int connect_seconds, int read_seconds, std::string_view extra_root_pem);

} // namespace torvane
