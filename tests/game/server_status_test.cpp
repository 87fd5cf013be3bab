#include "build_config.hpp"
#include "game/server_status.hpp"
#include "platform/files.hpp"
#include "support/file_shapes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace torvane {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A TCP socket listening on loopback; the kernel completes connections without an accept.
class Listener {
public:
    explicit Listener(int family = AF_INET, std::uint16_t port = 0)
    {
        fd_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int yes = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_storage storage{};
        socklen_t size = 0;
        if (family == AF_INET) {
            auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
            v4->sin_family = AF_INET;
            v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            v4->sin_port = htons(port);
            size = sizeof *v4;
        } else {
            auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
            v6->sin6_family = AF_INET6;
            v6->sin6_addr = in6addr_loopback;
            v6->sin6_port = htons(port);
            size = sizeof *v6;
        }
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&storage), size) != 0 || ::listen(fd_, 16) != 0) {
            close();
            return;
        }
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&storage), &size);
        port_ = family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port)
                                  : ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
    }
    ~Listener() { close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool listening() const { return fd_ >= 0; }
    std::uint16_t port() const { return port_; }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

// A port on loopback that nothing listens on.
std::uint16_t closed_port()
{
    Listener listener;
    return listener.port();
}

// A Connect.msil as the game's tools write it: the fields in the clear, scrambled, then checksummed.
std::string connect_file(std::string_view host, std::uint8_t port_low, std::uint8_t port_high)
{
    std::string plain(server_address_payload_size, '\0');
    for (std::size_t i = 0; i < 32; ++i)
        plain[i] = static_cast<char>('A' + i % 26); // the ignored head must not leak into the host
    for (std::size_t i = 66; i < plain.size(); ++i)
        plain[i] = static_cast<char>(i * 13);
    plain.replace(32, std::min<std::size_t>(host.size(), 32), host.substr(0, 32));
    plain[64] = static_cast<char>(port_low);
    plain[65] = static_cast<char>(port_high);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>(plain[i] ^ server_address_key[i % 3]);
    std::uint32_t sum = server_address_checksum(plain);
    for (int i = 0; i < 4; ++i)
        plain += static_cast<char>((sum >> (8 * i)) & 0xFF);
    return plain;
}

std::string connect_file(std::string_view host, std::uint16_t port)
{
    return connect_file(host, static_cast<std::uint8_t>(port & 0xFF), static_cast<std::uint8_t>(port >> 8));
}

TEST(ServerAddressChecksum, MatchesKnownValues)
{
    std::string counting(server_address_payload_size, '\0');
    for (std::size_t i = 0; i < counting.size(); ++i)
        counting[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    struct Case {
        const char* label;
        std::string payload;
        std::uint32_t sum;
    };
    const Case cases[] = {
        {"zeros", std::string(server_address_payload_size, '\0'), 0x00918E2Eu},
        {"counting", counting, 0xFFD126B4u},
        {"all ones", std::string(server_address_payload_size, '\xff'), 0x3393DC0Bu},
        {"bytes after the payload do not count", std::string(server_address_payload_size, '\0') + "xyzw", 0x00918E2Eu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(server_address_checksum(c.payload), c.sum) << c.label;
}

TEST(ServerAddressFile, GivesTheTargetOnlyWhenComplete)
{
    std::string valid = connect_file("127.0.0.1", 0x79, 0xAD);
    std::string tampered = valid;
    tampered[40] = static_cast<char>(tampered[40] ^ 1);
    struct Case {
        const char* label;
        std::string bytes;
        std::optional<ServerTarget> target;
    };
    const Case cases[] = {
        {"port bytes 0x79 0xAD", valid, ServerTarget{"127.0.0.1", 44409}},
        {"bytes after 448 ignored", valid + "tail", ServerTarget{"127.0.0.1", 44409}},
        {"447 bytes", valid.substr(0, 447), std::nullopt},
        {"empty", "", std::nullopt},
        {"bad checksum", tampered, std::nullopt},
        {"host starts with NUL", connect_file(std::string_view("\0host", 5), 44409), std::nullopt},
        {"port 0", connect_file("127.0.0.1", 0), std::nullopt},
        {"host of 32 bytes used whole", connect_file(std::string(32, 'h'), 80), ServerTarget{std::string(32, 'h'), 80}},
        {"host trimmed", connect_file(" jogo.local\t", 7000), ServerTarget{"jogo.local", 7000}},
        {"host of blanks", connect_file("   ", 7000), std::nullopt},
        {"invalid UTF-8 replaced", connect_file("h\xff", 7000), ServerTarget{"h\xEF\xBF\xBD", 7000}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_server_address(c.bytes), c.target) << c.label;
}

// A Connect.msil that is endless, blocks or is oversized gives no target, at once.
TEST(ServerAddressFile, AFileThatIsNoPlainFileOrTooLargeGivesNoTarget)
{
    test::TempDir dir;
    for (test::FileShape shape : test::all_file_shapes) {
        SCOPED_TRACE(test::file_shape_name(shape));
        test::PlantedFile planted(dir.path() / "Data/Local/Connect.msil", shape, connect_file("10.1.2.3", 5555),
                                  platform::document_read_limit, '\0');
        auto target = read_server_address(dir.path());
        if (shape == test::FileShape::Regular)
            EXPECT_EQ(target, (ServerTarget{"10.1.2.3", 5555}));
        else
            EXPECT_EQ(target, std::nullopt);
    }
}

TEST(ServerTarget, ManagedModeUsesTheDeploymentsServer)
{
    test::TempDir dir;
    EXPECT_EQ(server_target(dir.path(), true), (ServerTarget{build::game_server_host, 44409}));
    EXPECT_EQ(server_target(dir.path(), false), std::nullopt) << "no Connect.msil";
    dir.write("Data/Local/Connect.msil", connect_file("10.1.2.3", 5555));
    EXPECT_EQ(server_target(dir.path(), false), (ServerTarget{"10.1.2.3", 5555}));
    EXPECT_EQ(server_target(dir.path(), true), (ServerTarget{build::game_server_host, 44409}));
}

TEST(ProbeServer, ConnectsToRealListeners)
{
    Listener listener;
    ASSERT_TRUE(listener.listening());
    EXPECT_TRUE(probe_server(ServerTarget{"127.0.0.1", listener.port()}));
    EXPECT_TRUE(probe_server(ServerTarget{"localhost", listener.port()})) << "a name goes through the resolver";
    EXPECT_FALSE(probe_server(ServerTarget{"127.0.0.1", closed_port()}));
    EXPECT_FALSE(probe_server(std::nullopt));

    Listener v6(AF_INET6);
    if (v6.listening()) {
        EXPECT_TRUE(probe_server(ServerTarget{"::1", v6.port()}));
    }
}

TEST(ProbeServer, ManagedTargetAnswersWhenItsPortListens)
{
    if (std::string_view(build::game_server_host) != "127.0.0.1")
        GTEST_SKIP() << "the configured game server is not on loopback";
    Listener listener(AF_INET, game_server_port);
    if (!listener.listening())
        GTEST_SKIP() << "port 44409 is taken on this machine";
    test::TempDir dir;
    EXPECT_TRUE(probe_server(server_target(dir.path(), true)));
}

// Runs server_status_worker on its own thread and collects what it sends.
class WorkerRun {
public:
    WorkerRun(fs::path game_folder, ProbeSchedule schedule)
    {
        auto wakes = wakes_;
        UiSender sender(channel_, [wakes] { ++*wakes; });
        auto finished = std::make_shared<std::promise<void>>();
        finished_ = finished->get_future();
        thread_ = std::thread([sender, game_folder, stop = stop_, schedule, finished] {
            server_status_worker(sender, game_folder, stop, false, schedule);
            finished->set_value();
        });
    }
    ~WorkerRun()
    {
        stop_->store(true);
        // The thread owns copies of everything it uses, so a stuck one can be left behind.
        if (finished_.wait_for(5s) == std::future_status::ready)
            thread_.join();
        else
            thread_.detach();
    }

    // The next status sent, waiting at most 5 s.
    std::optional<bool> next_status()
    {
        for (auto deadline = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < deadline;) {
            if (auto message = channel_->try_receive()) {
                if (auto* status = std::get_if<ui_message::ServerStatus>(&*message))
                    return status->online;
                return std::nullopt;
            }
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }
    // Sets the stop flag; true when the thread then ends within 2 s.
    bool stop_and_wait()
    {
        stop_->store(true);
        return finished_.wait_for(2s) == std::future_status::ready;
    }
    UiChannel& channel() { return *channel_; }
    int wakes() const { return *wakes_; }

private:
    std::shared_ptr<UiChannel> channel_ = std::make_shared<UiChannel>();
    std::shared_ptr<std::atomic<int>> wakes_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    std::future<void> finished_;
    std::thread thread_;
};

TEST(ServerStatusWorker, StopFlagEndsTheWaitWithoutAnotherProbe)
{
    Listener listener;
    test::TempDir dir;
    dir.write("Data/Local/Connect.msil", connect_file("127.0.0.1", listener.port()));
    WorkerRun run(dir.path(), ProbeSchedule{});
    EXPECT_EQ(run.next_status(), true);
    EXPECT_TRUE(run.stop_and_wait()) << "the thread must notice the flag during its 15 s wait";
    EXPECT_FALSE(run.channel().try_receive()) << "no probe after the stop flag";
    EXPECT_EQ(run.wakes(), 1);
}

TEST(ServerStatusWorker, ProbesAgainAndFollowsTheServer)
{
    auto listener = std::make_unique<Listener>();
    test::TempDir dir;
    dir.write("Data/Local/Connect.msil", connect_file("127.0.0.1", listener->port()));
    WorkerRun run(dir.path(), ProbeSchedule{.waits = 2, .step = 5ms});
    EXPECT_EQ(run.next_status(), true);
    listener.reset();
    std::optional<bool> status;
    for (int i = 0; i < 50 && status != false; ++i)
        status = run.next_status();
    EXPECT_EQ(status, false) << "the closed server is reported offline";
    EXPECT_TRUE(run.stop_and_wait());
}

TEST(ServerStatusWorker, NoTargetReportsOffline)
{
    test::TempDir dir;
    dir.write("Data/Local/Connect.msil", connect_file("127.0.0.1", 7000).substr(0, 447));
    WorkerRun run(dir.path(), ProbeSchedule{});
    EXPECT_EQ(run.next_status(), false);
    EXPECT_TRUE(run.stop_and_wait());
}

} // namespace
} // namespace torvane
