#include "update/self_update.hpp"

#include "update/digest.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <mutex>
#include <vector>

namespace torvane {
namespace {

const std::string new_launcher = "ELF launcher, new build " + std::string(70'000, 'n'); // two pieces and more
const std::string new_sha = hex_lower(sha256_bytes(new_launcher));

std::string entry_document(const std::string& sha, const std::string& size)
{
    return R"({"ServerName":"x","Launcher":{"Sha256":"0000","Size":1},"LauncherLinux":{"Sha256":")" + sha +
           R"(","Size":)" + size + "}}";
}

TEST(ReadLauncherEntry, AppliesTheEntryRules)
{
    const std::string upper_sha = [] {
        std::string text = new_sha;
        for (char& c : text)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }();
    struct Case {
        const char* name;
        std::string body;
        std::optional<PublishedLauncher> expected;
    };
    const Case cases[] = {
        {"valid", entry_document(new_sha, "1234"), PublishedLauncher {new_sha, 1234}},
        {"upper-case digest", entry_document(upper_sha, "1234"), PublishedLauncher {new_sha, 1234}},
        {"byte-order mark", "\xEF\xBB\xBF" + entry_document(new_sha, "7"), PublishedLauncher {new_sha, 7}},
        {"largest size", entry_document(new_sha, "67108864"), PublishedLauncher {new_sha, 67'108'864}},
        {"size 0", entry_document(new_sha, "0"), std::nullopt},
        {"size past 64 MiB", entry_document(new_sha, "67108865"), std::nullopt},
        {"size as a fraction", entry_document(new_sha, "1000.0"), std::nullopt},
        {"negative size", entry_document(new_sha, "-5"), std::nullopt},
        {"size as text", entry_document(new_sha, "\"1234\""), std::nullopt},
        {"63 digits", entry_document(new_sha.substr(1), "1234"), std::nullopt},
        {"not hex", entry_document(std::string(64, 'g'), "1234"), std::nullopt},
        {"only the Windows entry", R"({"Launcher":{"Sha256":")" + new_sha + R"(","Size":5}})", std::nullopt},
        {"entry not an object", R"({"LauncherLinux":[1,2]})", std::nullopt},
        {"document an array", "[" + entry_document(new_sha, "1") + "]", std::nullopt},
        {"malformed", entry_document(new_sha, "1234").substr(10), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read_launcher_entry(c.body), c.expected) << c.name;
}

class SelfUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        executable_ = dir_.write("torvane", "ELF launcher, old build");
        ::chmod(executable_.c_str(), 0755);
        server_.routes().Get("/launcher.json", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            res.set_content(document_, "application/json");
        });
        server_.routes().Get("/files/torvane-linux-x86_64", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            hashes_asked_.push_back(req.get_param_value("h"));
            res.set_content(download_, "application/octet-stream");
        });
        server_.routes().Get("/files/Torvane.exe", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("MZ the Windows launcher", "application/octet-stream");
        });
        server_.start();
        auto made = http_agent(15, 60, server_.ca_pem());
        ASSERT_TRUE(made) << made.error();
        agent_.emplace(std::move(*made));
    }

    void serve(std::string document, std::string download)
    {
        std::lock_guard lock(mutex_);
        document_ = std::move(document);
        download_ = std::move(download);
    }

    bool run(const std::atomic<bool>& cancel)
    {
        return self_update_launcher(SelfUpdateSource {*agent_, server_.url("/launcher.json"), server_.url("/files"),
                                                      executable_},
                                    cancel);
    }

    bool exists(const char* suffix) const
    {
        std::filesystem::path path = executable_;
        path += suffix;
        return std::filesystem::exists(std::filesystem::symlink_status(path));
    }

    test::TempDir dir_;
    std::filesystem::path executable_;
    test::TlsTestServer server_;
    std::optional<HttpAgent> agent_;
    std::mutex mutex_;
    std::string document_;
    std::string download_;
    std::vector<std::string> hashes_asked_;
};

TEST_F(SelfUpdateTest, SwapsInTheVerifiedExecutableKeepingItsMode)
{
    dir_.write("torvane.old", "left by an earlier self-update");
    serve(entry_document(new_sha, std::to_string(new_launcher.size())), new_launcher);
    std::atomic<bool> cancel = false;
    ASSERT_TRUE(run(cancel));

    EXPECT_TRUE(dir_.read("torvane") == new_launcher);
    EXPECT_EQ(dir_.read("torvane.old"), "ELF launcher, old build");
    EXPECT_FALSE(exists(".part"));
    struct stat info {};
    ASSERT_EQ(::stat(executable_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_EQ(hashes_asked_, std::vector<std::string> {new_sha});

    // Now up to date: nothing is downloaded again.
    EXPECT_FALSE(run(cancel));
    EXPECT_EQ(hashes_asked_.size(), 1u);
}

TEST_F(SelfUpdateTest, LeavesTheLauncherAsItIsOnEveryFailure)
{
    const std::string size = std::to_string(new_launcher.size());
    struct Case {
        const char* name;
        std::string document;
        std::string download;
    };
    const Case cases[] = {
        {"one byte short", entry_document(new_sha, size), new_launcher.substr(1)},
        {"one byte long", entry_document(new_sha, size), new_launcher + "x"},
        {"wrong digest", entry_document(new_sha, size), std::string(new_launcher.size(), 'x')},
        {"no entry of its own", R"({"Launcher":{"Sha256":")" + new_sha + R"(","Size":)" + size + "}}", new_launcher},
        {"document cut at 1 MiB", R"({"LauncherLinux":{"Sha256":")" + new_sha + R"(","Size":)" + size +
                                       std::string(1'048'576, ' ') + "}}", new_launcher},
    };
    std::atomic<bool> cancel = false;
    for (const Case& c : cases) {
        serve(c.document, c.download);
        EXPECT_FALSE(run(cancel)) << c.name;
        EXPECT_TRUE(dir_.read("torvane") == "ELF launcher, old build") << c.name;
        EXPECT_FALSE(exists(".part")) << c.name;
        EXPECT_FALSE(exists(".old")) << c.name;
    }
}

TEST_F(SelfUpdateTest, CancelledDownloadReplacesNothing)
{
    serve(entry_document(new_sha, std::to_string(new_launcher.size())), new_launcher);
    std::atomic<bool> cancel = true;
    EXPECT_FALSE(run(cancel));
    EXPECT_EQ(dir_.read("torvane"), "ELF launcher, old build");
    EXPECT_FALSE(exists(".part"));
}

TEST_F(SelfUpdateTest, ExecutableThatCannotBeMovedAsideStaysAndThePartGoes)
{
    // A non-empty folder where the old copy would go: the rename aside fails.
    dir_.write("torvane.old/keep", "x");
    serve(entry_document(new_sha, std::to_string(new_launcher.size())), new_launcher);
    std::atomic<bool> cancel = false;
    EXPECT_FALSE(run(cancel));
    EXPECT_EQ(dir_.read("torvane"), "ELF launcher, old build");
    EXPECT_FALSE(exists(".part"));
}

TEST_F(SelfUpdateTest, UnreachableServiceReturnsFalse)
{
    std::atomic<bool> cancel = false;
    EXPECT_FALSE(self_update_launcher(
        SelfUpdateSource {*agent_, "https://127.0.0.1:1/launcher.json", "https://127.0.0.1:1/files", executable_},
        cancel));
    EXPECT_EQ(dir_.read("torvane"), "ELF launcher, old build");
}

} // namespace
} // namespace torvane
