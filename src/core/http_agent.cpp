#include "core/http_agent.hpp"

#include "build_config.hpp"
#include "core/receive_rate.hpp"
#include "platform/server_trust.hpp"
#include "platform/unicode.hpp"

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace torvane {

namespace {

using Clock = std::chrono::steady_clock;

// Received body bytes held for the reader before the transfer is paused.
constexpr std::size_t body_buffer_limit = 256 * 1024;
// Idle connections kept by one agent, in all and per origin.
constexpr std::size_t max_idle_connections = 100;
constexpr std::size_t max_idle_per_origin = 1;

constexpr const char timed_out_text[] = "timed out reading response";

std::string_view trim_http_space(std::string_view text)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// Frees a curl URL handle.
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

std::string take_curl_string(char* text)
{
    std::string copy = text ? text : "";
    curl_free(text);
    return copy;
}

// "scheme://host:port" of an absolute address, the pool's key; none when it is not one.
std::optional<std::string> origin_of(const std::string& url)
{
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    char *scheme = nullptr, *host = nullptr, *port = nullptr;
    curl_url_get(handle.get(), CURLUPART_SCHEME, &scheme, 0);
    curl_url_get(handle.get(), CURLUPART_HOST, &host, 0);
    curl_url_get(handle.get(), CURLUPART_PORT, &port, CURLU_DEFAULT_PORT);
    std::string origin = take_curl_string(scheme) + "://";
    origin += take_curl_string(host) + ":";
    origin += take_curl_string(port);
    return origin;
}

// The address a redirect's "Location" names, resolved against the address that sent it.
std::optional<std::string> resolve_location(const std::string& base, const std::string& location)
{
    UrlHandle handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(handle.get(), CURLUPART_URL, location.c_str(), CURLU_URLENCODE) != CURLUE_OK)
        return std::nullopt;
    char* text = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
        return std::nullopt;
    return take_curl_string(text);
}

// The host name of an absolute address, without the brackets of an IPv6 address.
std::string host_of(const std::string& url)
{
    UrlHandle handle(curl_url());
    char* host = nullptr;
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK
        || curl_url_get(handle.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK)
        return {};
    std::string name = take_curl_string(host);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    return name;
}

// The kind texts callers show; timeouts before the connection stood count as connection failures.
// Once connected, an unsupported protocol is the server's reply (no status line, another
// protocol's greeting), not the address's scheme.
const char* transport_kind_text(CURLcode code, bool connected)
{
    switch (code) {
    case CURLE_URL_MALFORMAT:
        return "Bad URL";
    case CURLE_UNSUPPORTED_PROTOCOL:
        return connected ? "Bad Status" : "Unknown Scheme";
    case CURLE_COULDNT_RESOLVE_HOST:
        return "Dns Failed";
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY:
        return "Proxy failed to connect";
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
        return "Connection Failed";
    case CURLE_OPERATION_TIMEDOUT:
        return connected ? "Network Error" : "Connection Failed";
    case CURLE_TOO_MANY_REDIRECTS:
        return "Too Many Redirects";
    case CURLE_WEIRD_SERVER_REPLY:
        return "Bad Status";
    case CURLE_BAD_CONTENT_ENCODING:
        return "Bad Header";
    default:
        return "Network Error";
    }
}

} // namespace

// One easy handle inside its own multi handle. The multi keeps the connection alive between
// requests, so a transfer taken from the pool reuses the connection of its last request.
struct HttpTransfer {
    HttpAgentState* agent = nullptr; // the agent it belongs to, which outlives it
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    bool attached = false;
    std::string origin; // the origin of the last request, for the per-origin limit
    // The socket of the connection kept after the last request, while it idles in the pool.
    curl_socket_t idle_socket = CURL_SOCKET_BAD;

    // State of the current request.
    std::string url;
    std::string host; // the host name of url, which its connection's certificate must name
    // Set when the system refused the server's certificate for its name: the text of curl's own
    // host name check, which the error carries in place of OpenSSL's wording.
    std::optional<std::string> peer_refusal;
    int status = 0;
    bool headers_done = false;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body; // received, not yet read; bytes before body_start are consumed
    std::size_t body_start = 0;
    bool paused = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    bool connected = false;
    std::optional<Clock::time_point> last_activity; // none until the connection stands
    char error_buffer[CURL_ERROR_SIZE] = {};

    // Bytes received (headers and body) and the time spent waiting for them in pump(), the clock
    // of the least receiving rate: time the reader spends elsewhere is not the server's.
    std::uint64_t received = 0;
    Clock::duration waited {0};
    ReceiveRateWatch rate_watch;
    // Set when the connection stood during the last step, with the count at that moment.
    bool connection_stood = false;
    std::uint64_t received_at_connection = 0;

    explicit HttpTransfer(Clock::duration read_timeout) : rate_watch(read_timeout, least_receive_bytes_per_second) {}
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;
    ~HttpTransfer()
    {
        detach();
        if (easy)
            curl_easy_cleanup(easy);
        if (multi)
            curl_multi_cleanup(multi);
    }

    void detach()
    {
        if (attached) {
            curl_multi_remove_handle(multi, easy);
            attached = false;
        }
    }

    std::size_t buffered() const { return body.size() - body_start; }

    // Whether the idle connection has bytes waiting although its last response has ended: more
    // than that response announced, or the server's close. The next request on it would read
    // those bytes as its answer, so such a connection is never used again.
    bool has_input_waiting()
    {
        if (idle_socket == CURL_SOCKET_BAD)
            return false;
        curl_waitfd socket {idle_socket, CURL_WAIT_POLLIN, 0};
        int ready = 0;
        if (curl_multi_wait(multi, &socket, 1, 0, &ready) != CURLM_OK)
            return true;
        return (socket.revents & CURL_WAIT_POLLIN) != 0;
    }

    // Whether the last request went out on a connection kept from an earlier one.
    bool reused_connection() const
    {
        long made = 0;
        return curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &made) == CURLE_OK && made == 0;
    }

    void begin(const std::string& address)
    {
        detach();
        idle_socket = CURL_SOCKET_BAD;
        url = address;
        host = host_of(url);
        peer_refusal.reset();
        status = 0;
        headers_done = false;
        headers.clear();
        body.clear();
        body_start = 0;
        paused = false;
        done = false;
        result = CURLE_OK;
        connected = false;
        last_activity.reset();
        error_buffer[0] = 0;
        rate_watch.stop();
        connection_stood = false;
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        attached = curl_multi_add_handle(multi, easy) == CURLM_OK;
        if (!attached) {
            done = true;
            result = CURLE_OUT_OF_MEMORY;
        }
    }

    static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto& t = *static_cast<HttpTransfer*>(user);
        std::size_t length = size * count;
        std::string_view line(data, length);
        t.last_activity = Clock::now();
        t.received += length;
        if (line.starts_with("HTTP/")) {
            // A new header block: an interim 1xx answer or the final response.
            t.headers.clear();
            t.headers_done = false;
            std::size_t space = line.find(' ');
            t.status = 0;
            for (std::size_t i = space == std::string_view::npos ? line.size() : space + 1;
                 i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
                t.status = t.status * 10 + (line[i] - '0');
        } else if (t.headers_done) {
            // Trailers after a chunked body: not part of the response's headers.
        } else if (trim_http_space(line).empty()) {
            t.headers_done = t.status >= 200;
        } else if (std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            t.headers.emplace_back(std::string(trim_http_space(line.substr(0, colon))),
                                   std::string(trim_http_space(line.substr(colon + 1))));
        }
        return length;
    }

    static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user)
    {
        auto& t = *static_cast<HttpTransfer*>(user);
        if (t.buffered() >= body_buffer_limit) {
            t.paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (t.body_start > 0) {
            t.body.erase(0, t.body_start);
            t.body_start = 0;
        }
        t.body.append(data, size * count);
        t.last_activity = Clock::now();
        t.received += size * count;
        return size * count;
    }

    // Called once the connection stands, before each request is sent: the read time-out and the
    // least receiving rate run from here.
    static int on_connected(void* user, char*, char*, int, int)
    {
        auto& t = *static_cast<HttpTransfer*>(user);
        t.connected = true;
        t.last_activity = Clock::now();
        t.connection_stood = true;
        t.received_at_connection = t.received;
        return CURL_PREREQFUNC_OK;
    }

    std::string curl_message() const
    {
        if (peer_refusal)
            return *peer_refusal;
        return error_buffer[0] ? error_buffer : curl_easy_strerror(result);
    }

    std::string transport_text(std::string_view kind, std::string_view message) const
    {
        std::string text = url + ": ";
        text += kind;
        if (!message.empty()) {
            text += ": ";
            text += message;
        }
        return text;
    }
};

namespace {
X509_STORE* trusted_roots(const std::vector<std::string>& extra_roots);
int verify_with_system(X509_STORE_CTX* context, void* user);
} // namespace

struct HttpAgentState {
    int connect_seconds = 0;
    std::chrono::seconds read_timeout {0};
    // The roots trusted besides the system's (DER), compiled into the program or given.
    std::vector<std::string> extra_roots;
    // Where the system judges server chains itself (Windows), its judge, which holds the extra
    // roots in a store of its own; none where OpenSSL checks them against roots.
    std::shared_ptr<const platform::ServerChainJudge> chain_judge;
    // Otherwise the trusted roots (the system's bundle and the extra ones), read once and shared
    // by every connection: curl would otherwise read and parse its whole bundle for each new
    // connection, which costs more than the handshake itself. They are read at the first TLS
    // handshake, not when the agent is made: an agent whose connections all fail (no network,
    // the service down) never parses the bundle. nullptr once read: no store could be made.
    std::once_flag roots_read;
    X509_STORE* roots = nullptr;
    CURLSH* share = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> share_locks;

    std::mutex pool_mutex;
    std::vector<std::unique_ptr<HttpTransfer>> idle;

    HttpAgentState() = default;
    HttpAgentState(const HttpAgentState&) = delete;
    HttpAgentState& operator=(const HttpAgentState&) = delete;
    ~HttpAgentState()
    {
        idle.clear(); // every easy handle leaves the share before it goes
        if (share)
            curl_share_cleanup(share);
        X509_STORE_free(roots);
    }

    // Sets up a new connection's TLS context (user: its transfer). Where the system judges
    // chains, its judge takes the place of OpenSSL's check; otherwise the context gets the
    // agent's roots (one more reference, no copy), read first if no connection has yet. Without
    // a store the handshake is refused.
    static CURLcode prepare_tls(CURL*, void* ssl_context, void* user)
    {
        auto* transfer = static_cast<HttpTransfer*>(user);
        auto* context = static_cast<SSL_CTX*>(ssl_context);
        HttpAgentState* self = transfer->agent;
        if (self->chain_judge) {
            SSL_CTX_set_cert_verify_callback(context, &verify_with_system, transfer);
            return CURLE_OK;
        }
        std::call_once(self->roots_read, [self] { self->roots = trusted_roots(self->extra_roots); });
        if (!self->roots)
            return CURLE_SSL_CACERT_BADFILE;
        SSL_CTX_set1_cert_store(context, self->roots);
        return CURLE_OK;
    }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user)
    {
        static_cast<HttpAgentState*>(user)->share_locks[data].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* user)
    {
        static_cast<HttpAgentState*>(user)->share_locks[data].unlock();
    }

    std::unique_ptr<HttpTransfer> make_transfer()
    {
        auto t = std::make_unique<HttpTransfer>(read_timeout);
        t->agent = this;
        t->multi = curl_multi_init();
        t->easy = curl_easy_init();
        if (!t->multi || !t->easy)
            return nullptr;
        curl_multi_setopt(t->multi, CURLMOPT_MAXCONNECTS, 1L);
        CURL* e = t->easy;
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_SHARE, share);
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->error_buffer);
        curl_easy_setopt(e, CURLOPT_USERAGENT, http_user_agent);
        curl_easy_setopt(e, CURLOPT_PROXY, ""); // no proxy, whatever the environment says
        // Only TLS, on the first request and on every hop: get() refuses plain http by name first.
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "https");
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connect_seconds));
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L); // redirects are followed by get()
        curl_easy_setopt(e, CURLOPT_BUFFERSIZE, 64L * 1024);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &HttpTransfer::on_header);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &HttpTransfer::on_body);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
        curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &HttpTransfer::on_connected);
        curl_easy_setopt(e, CURLOPT_PREREQDATA, t.get());
        curl_easy_setopt(e, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
        curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &HttpAgentState::prepare_tls);
        curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, t.get());
        return t;
    }

    // A pooled transfer, preferably one whose connection goes to the same origin. One whose
    // connection received bytes while it idled is dropped, and its connection closes.
    std::unique_ptr<HttpTransfer> acquire(const std::string& origin)
    {
        for (;;) {
            std::unique_ptr<HttpTransfer> t;
            {
                std::lock_guard lock(pool_mutex);
                auto same = std::find_if(idle.rbegin(), idle.rend(), [&](auto& t) { return t->origin == origin; });
                auto chosen = same != idle.rend() ? same : idle.rbegin();
                if (chosen == idle.rend())
                    break;
                t = std::move(*chosen);
                idle.erase(std::next(chosen).base());
            }
            if (!t->has_input_waiting())
                return t;
        }
        return make_transfer();
    }

    // Takes a transfer back after its body was read whole; the connection stays open for the next
    // request unless bytes beyond the response are waiting on it or the pool already holds enough.
    void release(std::unique_ptr<HttpTransfer> t)
    {
        // Asked while the transfer is still attached: the connection is found through its multi.
        curl_socket_t socket = CURL_SOCKET_BAD;
        if (curl_easy_getinfo(t->easy, CURLINFO_ACTIVESOCKET, &socket) != CURLE_OK)
            socket = CURL_SOCKET_BAD;
        t->idle_socket = socket;
        if (t->has_input_waiting())
            return; // dropped: its connection closes
        t->detach();
        std::lock_guard lock(pool_mutex);
        auto same = std::count_if(idle.begin(), idle.end(), [&](auto& other) { return other->origin == t->origin; });
        if (static_cast<std::size_t>(same) >= max_idle_per_origin || idle.size() >= max_idle_connections)
            return; // dropped outside any use: its connection closes
        idle.push_back(std::move(t));
    }

    // Runs the transfer until ready() holds or it ends. Fails with timed_out_text when, after the
    // connection stood, no byte came for the read time-out, or fewer than
    // least_receive_bytes_per_second on average over a span of waiting as long as the read time-out.
    template <class Ready>
    Status pump(HttpTransfer& t, Ready ready) const
    {
        // The slow-rate check runs at least this often while nothing arrives.
        const auto check_interval = std::clamp<Clock::duration>(read_timeout / 8, std::chrono::milliseconds(10),
                                                                 std::chrono::milliseconds(1000));
        auto step_start = Clock::now();
        for (;;) {
            int running = 0;
            CURLMcode code = curl_multi_perform(t.multi, &running);
            if (code != CURLM_OK)
                return failure(curl_multi_strerror(code));
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(t.multi, &left)) {
                if (message->msg == CURLMSG_DONE && message->easy_handle == t.easy) {
                    t.done = true;
                    t.result = message->data.result;
                }
            }
            auto now = Clock::now();
            t.waited += now - step_start;
            step_start = now;
            if (t.connection_stood) {
                t.connection_stood = false;
                t.rate_watch.restart(t.waited, t.received_at_connection);
            }
            if (t.done)
                return {};
            if (t.rate_watch.too_slow(t.waited, t.received))
                return failure(timed_out_text);
            if (ready())
                return {};
            Clock::duration wait = check_interval;
            if (t.last_activity) {
                auto elapsed = Clock::now() - *t.last_activity;
                if (elapsed >= read_timeout)
                    return failure(timed_out_text);
                wait = std::min<Clock::duration>(wait, read_timeout - elapsed);
            }
            curl_multi_poll(t.multi, nullptr, 0,
                            static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count()), nullptr);
        }
    }
};

namespace {

HttpError transport_error(std::string text) { return HttpError {HttpError::Kind::Transport, 0, std::move(text)}; }

// A plain http address, first or reached by a redirect, would carry the request and its answer
// unprotected: such a request is never made.
bool is_plain_http(const std::string& origin)
{
    constexpr std::string_view scheme = "http://";
    return origin.size() >= scheme.size()
           && platform::equal_ignoring_ascii_case(std::string_view(origin).substr(0, scheme.size()), scheme);
}

HttpError insecure_request_error(const std::string& url)
{
    return transport_error(url + ": Insecure request attempted with https_only set");
}

// A reply that does not begin as an HTTP answer.
bool is_not_http(CURLcode code, bool connected)
{
    return code == CURLE_WEIRD_SERVER_REPLY || (code == CURLE_UNSUPPORTED_PROTOCOL && connected);
}

bool is_followed_redirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string der_of(X509* certificate)
{
    unsigned char* der = nullptr;
    int length = i2d_X509(certificate, &der);
    std::string bytes = length > 0 ? std::string(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length)) : "";
    OPENSSL_free(der);
    return bytes;
}

// The certificates of a PEM text as DER; a text that is not empty must hold at least one, else
// the set-up is broken.
Result<std::vector<std::string>> der_certificates(std::string_view pem)
{
    std::vector<std::string> certificates;
    if (pem.empty())
        return certificates;
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (!bio)
        return failure("a biblioteca de rede não pôde ser iniciada");
    while (X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        if (std::string der = der_of(certificate); !der.empty())
            certificates.push_back(std::move(der));
        X509_free(certificate);
    }
    BIO_free(bio);
    ERR_clear_error(); // the end of the PEM text
    if (certificates.empty())
        return failure("nenhum certificado raiz válido nas raízes adicionais");
    return certificates;
}

// The roots curl would trust by default (its bundle file and folder) and the extra roots, in one
// store; nullptr when no store can be made.
X509_STORE* trusted_roots(const std::vector<std::string>& extra_roots)
{
    X509_STORE* store = X509_STORE_new();
    if (!store)
        return nullptr;
    if (CURL* probe = curl_easy_init()) {
        char* bundle_file = nullptr;
        char* bundle_folder = nullptr;
        curl_easy_getinfo(probe, CURLINFO_CAINFO, &bundle_file);
        curl_easy_getinfo(probe, CURLINFO_CAPATH, &bundle_folder);
        // A missing bundle leaves the store without those roots, and their servers are refused.
        if (bundle_file)
            (void)X509_STORE_load_file(store, bundle_file);
        if (bundle_folder)
            (void)X509_STORE_load_path(store, bundle_folder);
        curl_easy_cleanup(probe);
    }
    for (const std::string& der : extra_roots) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(der.data());
        if (X509* certificate = d2i_X509(nullptr, &bytes, static_cast<long>(der.size()))) {
            (void)X509_STORE_add_cert(store, certificate); // a root already there is no error
            X509_free(certificate);
        }
    }
    ERR_clear_error(); // a bundle entry that was not loaded
    // As curl sets it on the store it makes: an intermediate in the store may end a chain.
    X509_STORE_set_flags(store, X509_V_FLAG_PARTIAL_CHAIN);
    return store;
}

// The error OpenSSL would give for the defect, so that the TLS library's message reads as it does
// for its own checks ("SSL certificate problem: certificate has expired").
int x509_error_of(platform::ChainVerdict verdict)
{
    using platform::ChainVerdict;
    switch (verdict) {
    case ChainVerdict::Trusted:
        return X509_V_OK;
    case ChainVerdict::NameMismatch:
        return X509_V_ERR_HOSTNAME_MISMATCH;
    case ChainVerdict::Expired:
        return X509_V_ERR_CERT_HAS_EXPIRED;
    case ChainVerdict::NotYetValid:
        return X509_V_ERR_CERT_NOT_YET_VALID;
    case ChainVerdict::IssuerUnknown:
        return X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY;
    case ChainVerdict::SelfSigned:
        return X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT;
    case ChainVerdict::UntrustedRoot:
        return X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN;
    case ChainVerdict::Distrusted:
        return X509_V_ERR_CERT_REJECTED;
    case ChainVerdict::Revoked:
        return X509_V_ERR_CERT_REVOKED;
    case ChainVerdict::WrongUsage:
        return X509_V_ERR_INVALID_PURPOSE;
    case ChainVerdict::BadSignature:
        return X509_V_ERR_CERT_SIGNATURE_FAILURE;
    case ChainVerdict::InvalidCa:
        return X509_V_ERR_INVALID_CA;
    case ChainVerdict::Invalid:
        break;
    }
    return X509_V_ERR_UNSPECIFIED;
}

// OpenSSL's check of the server's chain, handed to the system's judge (user: the transfer). The
// chain is the certificates the server sent, its own first.
int verify_with_system(X509_STORE_CTX* context, void* user)
{
    auto& transfer = *static_cast<HttpTransfer*>(user);
    std::vector<std::string> chain;
    X509* leaf = X509_STORE_CTX_get0_cert(context);
    if (leaf)
        chain.push_back(der_of(leaf));
    if (STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(context))
        for (int i = 0; i < sk_X509_num(sent); ++i)
            if (X509* certificate = sk_X509_value(sent, i); certificate != leaf)
                chain.push_back(der_of(certificate));
    platform::ChainVerdict verdict = chain.empty() || chain.front().empty()
                                         ? platform::ChainVerdict::Invalid
                                         : transfer.agent->chain_judge->judge(chain, transfer.host);
    // A name the system refuses reads as curl's own host name check says it, the text callers know.
    if (verdict == platform::ChainVerdict::NameMismatch)
        transfer.peer_refusal = "SSL: no alternative certificate subject name matches target host name '" + transfer.host + "'";
    int error = x509_error_of(verdict);
    X509_STORE_CTX_set_error(context, error);
    return error == X509_V_OK ? 1 : 0;
}

} // namespace

std::expected<HttpResponse, HttpError> HttpAgent::get(std::string_view address) const
{
    std::string url(address);
    auto origin = origin_of(url);
    if (!origin)
        return std::unexpected(transport_error(url + ": Bad URL"));
    if (is_plain_http(*origin))
        return std::unexpected(insecure_request_error(url));
    std::unique_ptr<HttpTransfer> t = state_->acquire(*origin);
    if (!t)
        return std::unexpected(transport_error(url + ": Network Error: out of memory"));

    bool retried = false;
    for (int redirects = 0;; ++redirects) {
        t->origin = *origin;
        t->begin(url);
        Status waited = state_->pump(*t, [&] { return t->headers_done; });
        if (!waited)
            return std::unexpected(transport_error(t->transport_text("Network Error", waited.error())));
        if (!t->headers_done) {
            // The transfer ended without a final response.
            CURLcode code = t->result == CURLE_OK ? CURLE_GOT_NOTHING : t->result;
            t->result = code;
            if (!retried && t->reused_connection() && is_not_http(code, t->connected)) {
                // Bytes left over from the kept connection's last answer (sent after it went idle)
                // came before this answer: the request goes once more on a new connection.
                retried = true;
                t = state_->make_transfer();
                if (!t)
                    return std::unexpected(transport_error(url + ": Network Error: out of memory"));
                --redirects;
                continue;
            }
            return std::unexpected(
                transport_error(t->transport_text(transport_kind_text(code, t->connected), t->curl_message())));
        }

        int status = t->status;
        std::optional<std::string> location;
        for (auto& [name, value] : t->headers)
            if (!location && platform::equal_ignoring_ascii_case(name, "Location"))
                location = value;
        if (is_followed_redirect(status) && location) {
            if (redirects == http_max_redirects)
                return std::unexpected(transport_error(t->transport_text("Too Many Redirects", "")));
            auto next = resolve_location(url, *location);
            if (!next || !(origin = origin_of(*next)))
                return std::unexpected(transport_error(url + ": Bad URL: redirect to " + *location));
            if (is_plain_http(*origin))
                return std::unexpected(insecure_request_error(*next));
            // The redirect's own body is not wanted; a connection left mid-body is closed.
            url = *next;
            continue;
        }
        if (status >= 400)
            return std::unexpected(HttpError {HttpError::Kind::Status, status, url + ": status code " + std::to_string(status)});
        return HttpResponse(state_, std::move(t), url, status);
    }
}

HttpResponse::HttpResponse(std::shared_ptr<HttpAgentState> agent, std::unique_ptr<HttpTransfer> transfer,
                           std::string url, int status)
    : agent_(std::move(agent)), transfer_(std::move(transfer)), url_(std::move(url)), status_(status),
      headers_(std::move(transfer_->headers))
{
}

HttpResponse::HttpResponse(HttpResponse&&) noexcept = default;

HttpResponse& HttpResponse::operator=(HttpResponse&& other) noexcept
{
    if (this != &other) {
        transfer_.reset(); // before the agent it belongs to may go
        agent_ = std::move(other.agent_);
        transfer_ = std::move(other.transfer_);
        url_ = std::move(other.url_);
        status_ = other.status_;
        headers_ = std::move(other.headers_);
        body_error_ = std::move(other.body_error_);
    }
    return *this;
}
HttpResponse::~HttpResponse() = default;

int HttpResponse::status() const { return status_; }

const std::string& HttpResponse::url() const { return url_; }

std::optional<std::string> HttpResponse::header(std::string_view name) const
{
    for (auto& [key, value] : headers_)
        if (platform::equal_ignoring_ascii_case(key, name))
            return value;
    return std::nullopt;
}

Result<std::size_t> HttpResponse::read(std::span<char> buffer)
{
    if (!transfer_)
        return body_error_ ? Result<std::size_t>(failure(*body_error_)) : Result<std::size_t>(0);
    HttpTransfer& t = *transfer_;
    if (t.buffered() == 0 && !t.done) {
        if (t.paused) {
            // Resuming may hand over the held bytes at once, through on_body.
            t.paused = false;
            curl_easy_pause(t.easy, CURLPAUSE_CONT);
        }
        Status waited = agent_->pump(t, [&] { return t.buffered() > 0; });
        if (!waited)
            return end_body(failure(waited.error()));
    }
    if (t.buffered() > 0) {
        std::size_t n = std::min(buffer.size(), t.buffered());
        std::memcpy(buffer.data(), t.body.data() + t.body_start, n);
        t.body_start += n;
        return n;
    }
    // The transfer has ended and every received byte has been read.
    if (t.result == CURLE_OK) {
        agent_->release(std::move(transfer_));
        return 0;
    }
    if (t.result == CURLE_PARTIAL_FILE)
        return end_body(failure(http_body_closed_early_text));
    if (t.result == CURLE_OPERATION_TIMEDOUT)
        return end_body(failure(timed_out_text));
    return end_body(failure(t.curl_message()));
}

std::unexpected<std::string> HttpResponse::end_body(std::unexpected<std::string> error)
{
    // A failed body leaves its connection in an unknown state: it is closed, not pooled.
    transfer_.reset();
    body_error_ = error.error();
    return error;
}

Result<std::string> HttpResponse::read_up_to(std::size_t limit)
{
    std::string body;
    char piece[65536];
    while (body.size() < limit) {
        std::size_t want = std::min(sizeof piece, limit - body.size());
        std::size_t got = TRY(read(std::span<char>(piece, want)));
        if (got == 0)
            break;
        body.append(piece, got);
    }
    return body;
}

Result<HttpAgent> http_agent(int connect_seconds, int read_seconds)
{
    return http_agent(connect_seconds, read_seconds, build::extra_root_ca_pem());
}

Result<HttpAgent> http_agent(int connect_seconds, int read_seconds, std::string_view extra_root_pem)
{
    static std::once_flag curl_ready;
    static bool curl_usable = false;
    std::call_once(curl_ready, [] { curl_usable = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!curl_usable)
        return failure("a biblioteca de rede não pôde ser iniciada");

    auto state = std::make_shared<HttpAgentState>();
    state->connect_seconds = connect_seconds;
    state->read_timeout = std::chrono::seconds(read_seconds);
    state->extra_roots = TRY(der_certificates(extra_root_pem));
    state->chain_judge = TRY(platform::open_server_chain_judge(state->extra_roots));

    // Name look-ups and TLS sessions are shared by the agent's transfers. Connections are not: the
    // curl share's connection cache is not safe across threads, so each pooled transfer keeps its own.
    state->share = curl_share_init();
    if (!state->share)
        return failure("a biblioteca de rede não pôde ser iniciada");
    curl_share_setopt(state->share, CURLSHOPT_LOCKFUNC, &HttpAgentState::lock);
    curl_share_setopt(state->share, CURLSHOPT_UNLOCKFUNC, &HttpAgentState::unlock);
    curl_share_setopt(state->share, CURLSHOPT_USERDATA, state.get());
    curl_share_setopt(state->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(state->share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    return HttpAgent(std::move(state));
}

} // namespace torvane
