#include "core/http_agent.hpp"
#include "support/plain_http_server.hpp"
#include "support/raw_tls_server.hpp"
#include "support/tls_test_server.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace torvane {
namespace {

using namespace std::chrono_literals;

// Deterministic body bytes, so a reordered or lost piece shows.
std::string pattern(std::size_t size, std::size_t seed = 0)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + (i * 7 + seed + i / 4096) % 26);
    return bytes;
}

// A loopback port nobody listens on: bound without listening, then let go.
int unused_port()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);
    return ntohs(address.sin_port);
}

class HttpAgentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& routes = server_.routes();
        routes.Get("/ok", [](const httplib::Request&, httplib::Response& res) { res.set_content("olá", "text/plain"); });
        routes.Get(R"(/redirect/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            int left = std::stoi(req.matches[1]);
            if (left == 0)
                return res.set_content("chegou", "text/plain");
            res.status = 302;
            res.set_header("Location", "/redirect/" + std::to_string(left - 1));
        });
        routes.Get("/to-localhost", [this](const httplib::Request&, httplib::Response& res) {
            res.status = 301;
            res.set_header("Location", server_.localhost_url("/ok"));
        });
        routes.Get("/agent", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::to_string(req.get_header_value_count("User-Agent")) + "|" +
                                req.get_header_value("User-Agent"),
                            "text/plain");
        });
        routes.Get("/port", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::to_string(req.remote_port), "text/plain");
        });
        routes.Get("/headers", [](const httplib::Request&, httplib::Response& res) {
            res.set_header("X-Torvane-Teste", "  valor com espaços \t");
            res.set_header("X-Repetido", "primeiro");
            res.set_header("X-Repetido", "segundo");
            res.set_content("", "text/plain");
        });
        routes.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            // The headers go out, the body never comes.
            res.set_content_provider(100, "application/octet-stream", [this](std::size_t, std::size_t, httplib::DataSink&) {
                server_.wait_for_stop(20s);
                return false;
            });
        });
        routes.Get("/silent", [this](const httplib::Request&, httplib::Response& res) {
            // Connected, but the response does not come.
            server_.wait_for_stop(20s);
            res.set_content("tarde", "text/plain");
        });
        routes.Get("/cut", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "application/octet-stream", [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset > 0)
                    return false; // closes the connection 900 bytes short
                std::string part = pattern(100);
                sink.write(part.data(), part.size());
                return true;
            });
        });
        routes.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
            auto body = std::make_shared<std::string>(pattern(3 * 1024 * 1024 + 17));
            res.set_chunked_content_provider("application/octet-stream", [body](std::size_t offset, httplib::DataSink& sink) {
                // Chunks of changing sizes, from one byte to about 100 KiB.
                std::size_t size = std::min(body->size() - offset, 1 + (offset * 31) % 100000);
                sink.write(body->data() + offset, size);
                if (offset + size == body->size())
                    sink.done();
                return true;
            });
        });
        routes.Get("/chunked-cut", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                if (offset > 0)
                    return false; // no last chunk: the connection closes
                std::string part = pattern(5000);
                sink.write(part.data(), part.size());
                return true;
            });
        });
        routes.Get(R"(/paced/(\d+)/(\d+)/(\d+))", [this](const httplib::Request& req, httplib::Response& res) {
            // /paced/<size>/<piece>/<ms>: a body of that size in pieces of that many bytes, one
            // every so many milliseconds.
            std::size_t size = std::stoul(req.matches[1]);
            std::size_t piece = std::stoul(req.matches[2]);
            auto pause = std::chrono::milliseconds(std::stoul(req.matches[3]));
            auto body = std::make_shared<std::string>(pattern(size));
            res.set_content_provider(size, "application/octet-stream",
                                     [this, body, piece, pause](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         if (offset > 0)
                                             server_.wait_for_stop(pause);
                                         std::size_t n = std::min(piece, body->size() - offset);
                                         return sink.write(body->data() + offset, n);
                                     });
        });
        routes.Get(R"(/big/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            std::size_t seed = std::stoul(req.matches[1]);
            res.set_content(pattern(200000 + seed * 1000, seed), "application/octet-stream");
        });
        server_.start();
    }

    HttpAgent agent(int read_seconds = 10)
    {
        auto made = http_agent(10, read_seconds, server_.ca_pem());
        if (!made)
            ADD_FAILURE() << made.error();
        return std::move(made).value();
    }

    // The whole body of a GET, or the error text of the request or of the body.
    static std::string fetch(const HttpAgent& agent, const std::string& url)
    {
        auto response = agent.get(url);
        if (!response)
            return "erro: " + response.error().text;
        auto body = response->read_up_to(64 * 1024 * 1024);
        return body ? *body : "erro: " + body.error();
    }

    test::TlsTestServer server_;
};

TEST_F(HttpAgentTest, ReadsABodyWithItsStatusAndAddress)
{
    auto response = agent().get(server_.url("/ok"));
    ASSERT_TRUE(response) << response.error().text;
    EXPECT_EQ(response->status(), 200);
    EXPECT_EQ(response->url(), server_.url("/ok"));
    EXPECT_EQ(response->header("content-type"), "text/plain");
    auto body = response->read_up_to(1000);
    ASSERT_TRUE(body) << body.error();
    EXPECT_EQ(*body, "olá");
    // The end stays the end.
    char byte;
    EXPECT_EQ(response->read(std::span(&byte, 1)), 0u);
}

TEST_F(HttpAgentTest, StatusFromFourHundredOnIsAnErrorWithTheCode)
{
    auto response = agent().get(server_.url("/nada"));
    ASSERT_FALSE(response);
    EXPECT_EQ(response.error().kind, HttpError::Kind::Status);
    EXPECT_EQ(response.error().status, 404);
    EXPECT_EQ(response.error().text, server_.url("/nada") + ": status code 404");
}

TEST_F(HttpAgentTest, FollowsFiveRedirectsAndFailsOnTheSixth)
{
    HttpAgent a = agent();
    auto five = a.get(server_.url("/redirect/5"));
    ASSERT_TRUE(five) << five.error().text;
    EXPECT_EQ(five->url(), server_.url("/redirect/0"));
    EXPECT_EQ(five->read_up_to(100).value_or("?"), "chegou");

    auto six = a.get(server_.url("/redirect/6"));
    ASSERT_FALSE(six);
    EXPECT_EQ(six.error().kind, HttpError::Kind::Transport);
    EXPECT_NE(six.error().text.find("Too Many Redirects"), std::string::npos) << six.error().text;

    // A redirect to another origin is followed too.
    auto moved = a.get(server_.url("/to-localhost"));
    ASSERT_TRUE(moved) << moved.error().text;
    EXPECT_EQ(moved->url(), server_.localhost_url("/ok"));
    EXPECT_EQ(moved->read_up_to(100).value_or("?"), "olá");
}

TEST_F(HttpAgentTest, EveryRequestCarriesTheLauncherAgentOnce)
{
    HttpAgent a = agent();
    EXPECT_EQ(fetch(a, server_.url("/agent")), "1|TorvaneLauncher/2.1");
    // Again on the reused connection.
    EXPECT_EQ(fetch(a, server_.url("/agent")), "1|TorvaneLauncher/2.1");
}

TEST_F(HttpAgentTest, HeadersAreFoundByNameWithTrimmedValues)
{
    auto response = agent().get(server_.url("/headers"));
    ASSERT_TRUE(response) << response.error().text;
    EXPECT_EQ(response->header("x-torvane-teste"), "valor com espaços");
    EXPECT_EQ(response->header("X-TORVANE-TESTE"), "valor com espaços");
    EXPECT_EQ(response->header("X-Repetido"), "primeiro");
    EXPECT_EQ(response->header("X-Ausente"), std::nullopt);
    EXPECT_EQ(response->header("Content-Length"), "0");
}

TEST_F(HttpAgentTest, ABodyThatStallsFailsAfterTheReadTimeOut)
{
    auto response = agent(1).get(server_.url("/stall"));
    ASSERT_TRUE(response) << response.error().text; // the headers came
    char buffer[100];
    auto read = response->read(buffer);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error(), "timed out reading response");
    // Later reads repeat the failure instead of waiting again.
    auto again = response->read(buffer);
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error(), "timed out reading response");
}

TEST_F(HttpAgentTest, ABodyThatDripsFailsOnceAReadTimeOutHasPassedBelowTheLeastRate)
{
    // Every byte comes well within the 2 s read time-out, but far below 1,024 bytes a second: the
    // whole body would take 12 s.
    const auto start = std::chrono::steady_clock::now();
    auto response = agent(2).get(server_.url("/paced/40/1/300"));
    ASSERT_TRUE(response) << response.error().text;
    auto body = response->read_up_to(1000);
    ASSERT_FALSE(body) << body->size() << " bytes read";
    EXPECT_EQ(body.error(), "timed out reading response");
    // Not before a whole read time-out of waiting.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(HttpAgentTest, ASlowBodyAboveTheLeastRateIsReadWhole)
{
    // 4,000 bytes a second for six seconds, three read time-outs long.
    auto response = agent(2).get(server_.url("/paced/24000/400/100"));
    ASSERT_TRUE(response) << response.error().text;
    auto body = response->read_up_to(100000);
    ASSERT_TRUE(body) << body.error();
    EXPECT_TRUE(*body == pattern(24000));
}

TEST_F(HttpAgentTest, AResponseThatDoesNotComeFailsAfterTheReadTimeOut)
{
    auto response = agent(1).get(server_.url("/silent"));
    ASSERT_FALSE(response);
    EXPECT_EQ(response.error().kind, HttpError::Kind::Transport);
    EXPECT_EQ(response.error().text, server_.url("/silent") + ": Network Error: timed out reading response");
}

TEST_F(HttpAgentTest, ABodyCutShortReportsTheEarlyClose)
{
    HttpAgent a = agent();
    for (const char* path : {"/cut", "/chunked-cut"}) {
        auto response = a.get(server_.url(path));
        ASSERT_TRUE(response) << response.error().text;
        std::string received;
        char buffer[4096];
        Result<std::size_t> read;
        while ((read = response->read(buffer)) && *read > 0)
            received.append(buffer, *read);
        ASSERT_FALSE(read) << path;
        EXPECT_EQ(read.error(), "response body closed before all bytes were read") << path;
        // What came before the close was delivered in order.
        EXPECT_EQ(received, pattern(received.size())) << path;
    }
}

TEST_F(HttpAgentTest, AChunkedBodyIsReadWhole)
{
    HttpAgent a = agent();
    auto response = a.get(server_.url("/chunked"));
    ASSERT_TRUE(response) << response.error().text;
    EXPECT_EQ(response->header("Transfer-Encoding"), "chunked");
    // Small reads let the received bytes pile up, so the transfer pauses and resumes on the way.
    std::string received;
    char buffer[1000];
    for (;;) {
        auto read = response->read(buffer);
        ASSERT_TRUE(read) << read.error();
        if (*read == 0)
            break;
        received.append(buffer, *read);
    }
    EXPECT_EQ(received.size(), 3u * 1024 * 1024 + 17);
    EXPECT_TRUE(received == pattern(3 * 1024 * 1024 + 17));
}

TEST_F(HttpAgentTest, ReadUpToStopsAtTheLimit)
{
    auto response = agent().get(server_.url("/big/0"));
    ASSERT_TRUE(response);
    auto start = response->read_up_to(70000);
    ASSERT_TRUE(start);
    EXPECT_EQ(*start, pattern(200000).substr(0, 70000));
    auto rest = response->read_up_to(1000000);
    ASSERT_TRUE(rest);
    EXPECT_EQ(*start + *rest, pattern(200000));
}

TEST_F(HttpAgentTest, AConnectionIsReusedAfterABodyEnds)
{
    HttpAgent a = agent();
    std::string first = fetch(a, server_.url("/port"));
    std::string second = fetch(a, server_.url("/port"));
    EXPECT_EQ(first, second); // the same client port: the same connection

    // A response dropped before its end does not hand back its connection.
    {
        auto unread = a.get(server_.url("/big/1"));
        ASSERT_TRUE(unread);
    }
    auto third = fetch(a, server_.url("/port"));
    EXPECT_FALSE(third.starts_with("erro")) << third;
}

TEST_F(HttpAgentTest, TwelveThreadsShareOneAgent)
{
    HttpAgent a = agent();
    std::atomic<int> wrong = 0;
    std::mutex failures_mutex;
    std::set<std::string> failures;
    std::vector<std::thread> threads;
    for (int t = 0; t < 12; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 8; ++i) {
                int seed = (t * 8 + i) % 40;
                std::string body = fetch(a, server_.url("/big/" + std::to_string(seed)));
                if (body != pattern(200000 + seed * 1000, seed)) {
                    ++wrong;
                    std::lock_guard lock(failures_mutex);
                    failures.insert(body.substr(0, 200));
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0) << (failures.empty() ? "" : *failures.begin());
}

TEST_F(HttpAgentTest, TransportErrorsNameTheAddressAndTheKind)
{
    HttpAgent a = agent();
    int closed_port = unused_port();
    struct Case {
        std::string url;
        std::string expected_start;
    };
    const Case cases[] = {
        {"isto não é um endereço", "isto não é um endereço: Bad URL"},
        {"ftp://127.0.0.1/arquivo", "ftp://127.0.0.1/arquivo: Unknown Scheme"},
        {"https://127.0.0.1:" + std::to_string(closed_port) + "/",
         "https://127.0.0.1:" + std::to_string(closed_port) + "/: Connection Failed"},
    };
    for (const Case& c : cases) {
        auto response = a.get(c.url);
        ASSERT_FALSE(response) << c.url;
        EXPECT_EQ(response.error().kind, HttpError::Kind::Transport);
        EXPECT_EQ(response.error().status, 0);
        EXPECT_TRUE(response.error().text.starts_with(c.expected_start)) << response.error().text;
    }
}

TEST(HttpAgentHttpsOnly, PlainHttpIsNeverRequestedFirstOrAfterARedirect)
{
    test::PlainHttpServer plain;
    plain.routes().Get("/ok", [](const httplib::Request&, httplib::Response& res) { res.set_content("às claras", "text/plain"); });
    plain.start();
    test::TlsTestServer tls;
    auto redirect = [&](const char* path, std::string location) {
        tls.routes().Get(path, [location](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Location", location);
        });
    };
    const std::string plain_ok = plain.url("/ok");
    redirect("/to-plain", plain_ok);
    redirect("/to-plain-upper-case", "HTTP" + plain_ok.substr(4));
    redirect("/hop", "/to-plain");
    redirect("/to-tls", "/ok");
    tls.routes().Get("/ok", [](const httplib::Request&, httplib::Response& res) { res.set_content("cifrado", "text/plain"); });
    tls.start();
    auto agent = http_agent(10, 10, tls.ca_pem());
    ASSERT_TRUE(agent) << agent.error();

    struct Case {
        const char* name;
        std::string url;
        std::string refused; // the plain address named by the error
    };
    const Case cases[] = {
        {"a redirect to http", tls.url("/to-plain"), plain_ok},
        {"a redirect with an upper-case scheme", tls.url("/to-plain-upper-case"), plain_ok},
        {"a second hop to http", tls.url("/hop"), plain_ok},
        {"a plain first address", plain_ok, plain_ok},
        {"a plain first address in upper case", "HTTP" + plain_ok.substr(4), "HTTP" + plain_ok.substr(4)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto response = agent->get(c.url);
        ASSERT_FALSE(response);
        EXPECT_EQ(response.error().kind, HttpError::Kind::Transport);
        EXPECT_EQ(response.error().text, c.refused + ": Insecure request attempted with https_only set");
    }
    EXPECT_EQ(plain.requests(), 0);

    // A redirect that stays on https is followed as before.
    auto followed = agent->get(tls.url("/to-tls"));
    ASSERT_TRUE(followed) << followed.error().text;
    EXPECT_EQ(followed->read_up_to(100), "cifrado");
}

TEST(HttpAgentReplies, RepliesWithoutAStatusLineAreBadStatus)
{
    struct Case {
        const char* name;
        std::string reply;
        std::string kind;
    };
    const Case cases[] = {
        {"no status line", "garbage\r\n\r\n", "Bad Status"},
        {"a status line of another protocol", "SSH-2.0-OpenSSH_9.2\r\n\r\n", "Bad Status"},
        {"a status without digits", "HTTP/1.1 abc OK\r\nContent-Length: 0\r\n\r\n", "Bad Status"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RawTlsReplyServer server(c.reply);
        auto agent = http_agent(10, 10, server.ca_pem());
        ASSERT_TRUE(agent) << agent.error();
        auto response = agent->get(server.url("/x"));
        ASSERT_FALSE(response);
        EXPECT_EQ(response.error().kind, HttpError::Kind::Transport);
        EXPECT_TRUE(response.error().text.starts_with(server.url("/x") + ": " + c.kind)) << response.error().text;
    }
}

TEST(HttpAgentReplies, BytesPastTheEndOfABodyKeepItsConnectionOutOfThePool)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
    const std::string chunked_head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::string held_back;
    };
    const Case cases[] = {
        {"extra bytes in a record of their own", {head + "hello", "EXTRA"}},
        {"extra bytes in the body's record", {head + "helloEXTRA"}},
        {"a whole second answer nobody asked for", {head + "hello", head + "extra"}},
        {"bytes after the last chunk", {chunked_head + "5\r\nhello\r\n0\r\n\r\n", "EXTRA"}},
        // Sent so late that they come after the next request: that request goes again.
        {"extra bytes that come after the next request", {head + "hello"}, "EXTRA"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::RawTlsReplyServer server(c.pieces, test::RawTlsReplyServer::Connection::KeepOpen, c.held_back);
        auto agent = http_agent(10, 10, server.ca_pem());
        ASSERT_TRUE(agent) << agent.error();
        auto fetch = [&](const std::string& url) -> std::string {
            auto response = agent->get(url);
            if (!response)
                return "erro: " + response.error().text;
            auto body = response->read_up_to(1000);
            return body ? *body : "erro: " + body.error();
        };
        for (int request = 0; request < 3; ++request) {
            // Every byte of the replies so far has reached the client's socket before the next request.
            for (int i = 0; i < 5000 && server.replies() < request; ++i)
                std::this_thread::sleep_for(1ms);
            EXPECT_EQ(fetch(server.url("/" + std::to_string(request))), "hello") << request;
        }
    }
}

TEST_F(HttpAgentTest, AServerOutsideTheTrustedRootsIsRefused)
{
    // Without the test CA the server's certificate is not trusted.
    auto plain = http_agent(10, 10, "");
    ASSERT_TRUE(plain) << plain.error();
    auto response = plain->get(server_.url("/ok"));
    ASSERT_FALSE(response);
    EXPECT_TRUE(response.error().text.starts_with(server_.url("/ok") + ": Connection Failed")) << response.error().text;

    // A CA of its own, not the server's: refused as well.
    auto other = http_agent(10, 10, test::make_test_certificates().ca_pem);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->get(server_.url("/ok")));
}

} // namespace
} // namespace torvane
