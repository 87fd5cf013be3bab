#include "update/config_fetch.hpp"

#include "platform/clock.hpp"
#include "support/tls_test_server.hpp"
#include "update/time_query.hpp"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace torvane {
namespace {

TEST(TimeQueryTicks, CutsToMillisecondsFromTheUnixEpoch)
{
    constexpr std::int64_t epoch = platform::unix_epoch_ticks;
    struct Case {
        std::int64_t system_ticks;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {epoch, 621355968000000000},
        {epoch + 10'000, 621355968000010000},       // one millisecond later
        {epoch + 19'999, 621355968000010000},       // the sub-millisecond part is cut
        {epoch - 1, 621355968000000000},            // a clock before 1970
        {0, 621355968000000000},
        {epoch + 17'000'000'000'000'123, 638355968000000000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(time_query_ticks(c.system_ticks), c.expected) << c.system_ticks;
}

TEST(TimedRequestUrl, AppendsTheCurrentTick)
{
    std::uint64_t before = time_query_ticks(platform::system_time_ticks());
    std::string url = timed_request_url("https://h/launcher.json");
    std::uint64_t after = time_query_ticks(platform::system_time_ticks());
    ASSERT_TRUE(url.starts_with("https://h/launcher.json?t=")) << url;
    std::uint64_t value = std::stoull(url.substr(url.find('=') + 1));
    EXPECT_GE(value, before);
    EXPECT_LE(value, after);
    EXPECT_EQ(value % 10'000, 0u);
}

constexpr std::size_t limit = 4'194'304;

// A configuration document padded with blanks to the given size.
std::string document_of_size(std::size_t size)
{
    std::string head = R"({"ServerName":"Servidor de teste")";
    std::string document = head + std::string(size - head.size() - 1, ' ') + "}";
    return document;
}

class ConfigFetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.routes().Get("/launcher.json", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            queries_.push_back(req.get_param_value("t"));
            res.status = status_;
            res.set_content(body_, "application/json");
        });
        server_.start();
    }

    // What one fetch sent to the UI: the server name of the ConfigLoaded, "(nada)" for nothing.
    std::string fetch_once(int status, std::string body)
    {
        {
            std::lock_guard lock(mutex_);
            status_ = status;
            body_ = std::move(body);
        }
        auto agent = http_agent(5, 5, server_.ca_pem());
        EXPECT_TRUE(agent) << agent.error();
        auto channel = std::make_shared<UiChannel>();
        int wakes = 0;
        launcher_config_fetch(*agent, server_.url("/launcher.json"), UiSender(channel, [&] { ++wakes; }));
        auto message = channel->try_receive();
        EXPECT_FALSE(channel->try_receive()) << "at most one message";
        if (!message)
            return "(nada)";
        EXPECT_EQ(wakes, 1);
        auto* loaded = std::get_if<ui_message::ConfigLoaded>(&*message);
        if (!loaded || !loaded->config)
            return "(outra mensagem)";
        return loaded->config->server_name.value_or("(sem nome)");
    }

    test::TlsTestServer server_;
    std::mutex mutex_;
    int status_ = 200;
    std::string body_;
    std::vector<std::string> queries_;
};

TEST_F(ConfigFetchTest, DeliversTheDocumentOrNothing)
{
    struct Case {
        const char* name;
        int status;
        std::string body;
        std::string expected;
    };
    const Case cases[] = {
        {"plain document", 200, R"({"ServerName":"Pellamoor"})", "Pellamoor"},
        {"byte-order mark", 200, "\xEF\xBB\xBF" R"({"ServerName":"Com BOM"})", "Com BOM"},
        {"exactly the limit", 200, document_of_size(limit), "Servidor de teste"},
        {"one byte past the limit is cut", 200, document_of_size(limit + 1), "(nada)"},
        {"not found", 404, R"({"ServerName":"x"})", "(nada)"},
        {"server error", 500, R"({"ServerName":"x"})", "(nada)"},
        {"malformed", 200, R"({"ServerName":)", "(nada)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fetch_once(c.status, c.body), c.expected) << c.name;

    std::lock_guard lock(mutex_);
    ASSERT_EQ(queries_.size(), std::size(cases));
    for (const std::string& t : queries_)
        EXPECT_TRUE(t.size() == 18 && t.ends_with("0000")) << t;
}

TEST_F(ConfigFetchTest, UnreachableServiceSendsNothing)
{
    auto agent = http_agent(5, 5, server_.ca_pem());
    ASSERT_TRUE(agent);
    auto channel = std::make_shared<UiChannel>();
    // Port 1 on loopback: nothing listens there.
    launcher_config_fetch(*agent, "https://127.0.0.1:1/launcher.json", UiSender(channel, [] {}));
    EXPECT_FALSE(channel->try_receive());
}

} // namespace
} // namespace torvane
