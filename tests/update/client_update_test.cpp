#include "update/client_update.hpp"

#include "platform/files.hpp"
#include "recording_sink.hpp"
#include "release_keys.hpp"
#include "release_service.hpp"
#include "support/sample_client.hpp"
#include "support/tls_test_server.hpp"
#include "update/asset_workers.hpp"
#include "update/install_folders.hpp"
#include "update/install_record.hpp"
#include "update/path_safety.hpp"
#include "update/signatures.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <map>
#include <set>

namespace torvane {
namespace {

namespace fs = std::filesystem;

struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const Identity&) const = default;
};

Identity identity_of(const fs::path& path)
{
    auto info = platform::file_info(path, platform::FollowLinks::No);
    return info ? Identity {info->device, info->inode} : Identity {};
}

// Every file below a folder whose name marks an unfinished write.
std::vector<std::string> unfinished_files(const fs::path& folder)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& item : fs::recursive_directory_iterator(folder, error)) {
        std::string name = item.path().filename().string();
        if (is_download_temporary_name(name) || name.ends_with(".next"))
            found.push_back(item.path().string());
    }
    return found;
}

// Raises the cancel flag at the first download report that shows bytes on their way.
class CancellingSink final : public ProgressSink {
public:
    explicit CancellingSink(std::atomic<bool>& cancel) : cancel_(cancel) {}
    void call(UiMessage message) override
    {
        if (auto* progress = std::get_if<ui_message::Progress>(&message))
            if (progress->report.text.starts_with("Baixando") && progress->report.progress > 0)
                cancel_ = true;
    }

private:
    std::atomic<bool>& cancel_;
};

class ClientUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_UNLESS_BUILT_WITH_DEV_KEY();
        ASSERT_TRUE(service_.running());
    }

    // Publishes the client folder as it is now.
    publisher::PublishedRelease publish()
    {
        auto published = service_.publish(client_.path());
        EXPECT_TRUE(published) << published.error();
        return published.value_or(publisher::PublishedRelease {});
    }

    Result<fs::path> update(ProgressSink& sink, const std::atomic<bool>& cancel)
    {
        return update_client(service_.update_service(), game_.path(), resolve_active_release(game_.path()), sink,
                             cancel);
    }

    Result<fs::path> update()
    {
        std::atomic<bool> cancel = false;
        return update(sink_, cancel);
    }

    // A first release, installed.
    publisher::PublishedRelease install_first(const test::SampleClient& client = {.asset_blobs = 3})
    {
        test::write_sample_client(client_.path(), client);
        auto published = publish();
        auto folder = update();
        EXPECT_TRUE(folder) << folder.error();
        return published;
    }

    std::string active_release() const { return game_.read("active-release"); }

    // Serves other bytes for one file of a published release, listed and signed as if they were right.
    void serve_as_listed(publisher::PublishedRelease& release, const std::string& path, const std::string& bytes)
    {
        platform::write_file(push_relative_path(release.release_folder, path), bytes).value();
        for (ReleaseEntry& entry : release.list.entries)
            if (entry.path == path)
                entry = {bytes.size(), entry.path, hex_lower(sha256_bytes(bytes))};
        platform::write_file(release.list_file, test::dev_signed(release_list_text(release.list))).value();
    }

    test::ReleaseService service_;
    test::TempDir game_;
    test::TempDir client_;
    test::RecordingSink sink_;
};

TEST_F(ClientUpdateTest, FreshInstallFillsAReleaseFolderAndSwitchesToIt)
{
    test::write_sample_client(client_.path(), {.asset_blobs = 3});
    auto published = publish();
    auto folder = update();
    ASSERT_TRUE(folder) << folder.error();

    EXPECT_EQ(*folder, game_.path() / "Versions" / published.release_id);
    for (const ReleaseEntry& entry : published.list.entries)
        EXPECT_TRUE(file_matches_entry(*folder / entry.path, entry)) << entry.path;
    EXPECT_TRUE(platform::read_file(*folder / "release.pmx", platform::document_read_limit).value_or("") == published.list_bytes);
    EXPECT_EQ(active_release(), published.release_id);
    EXPECT_EQ(resolve_active_release(game_.path()), *folder);
    // The client is started from the release folder, so it must be runnable there.
    EXPECT_NE(fs::status(*folder / "Main.exe").permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_TRUE(fs::exists(game_.path() / "update.lock"));
    EXPECT_TRUE(unfinished_files(game_.path()).empty());
    EXPECT_EQ(service_.release_files_served(published.release_id).size(), published.list.entries.size());

    auto reports = sink_.reports();
    ASSERT_GE(reports.size(), 4u);
    EXPECT_EQ(reports.front(), (ProgressReport {0, 0, 0, "Buscando atualizações...", ""}));
    EXPECT_EQ(reports[1], (ProgressReport {0, 0, 0, "Preparando o download...", ""}));
    auto download_start = std::find_if(reports.begin(), reports.end(),
                                       [](const ProgressReport& r) { return r.text.starts_with("Baixando"); });
    ASSERT_NE(download_start, reports.end());
    EXPECT_EQ(*download_start, (ProgressReport {0, 0, 0, "Baixando o Torvane: 0 MB de 1 MB", ""}));
    EXPECT_EQ(reports.back(), (ProgressReport {1, 1, 0, "Cliente pronto para jogar.", ""}));
}

TEST_F(ClientUpdateTest, NextReleaseLinksWhatDidNotChangeAndPrunesTheFirst)
{
    auto first = install_first();
    fs::path first_folder = game_.path() / "Versions" / first.release_id;
    std::map<std::string, Identity> before;
    for (const ReleaseEntry& entry : first.list.entries)
        before[entry.path] = identity_of(first_folder / entry.path);

    client_.write("FONT.ini", "[Font]\nName=Serif\n");
    client_.write("glew32.dll", "glew, rebuilt");
    auto second = publish();
    auto folder = update();
    ASSERT_TRUE(folder) << folder.error();

    // Each release stamps its own id into the asset index, so the index and its signature change too.
    const std::multiset<std::string> changed = {"Assets/assets.idx", "Assets/assets.idx.sig", "FONT.ini",
                                                "glew32.dll"};
    EXPECT_EQ(service_.release_files_served(second.release_id), changed);
    for (const ReleaseEntry& entry : second.list.entries) {
        SCOPED_TRACE(entry.path);
        EXPECT_TRUE(file_matches_entry(*folder / entry.path, entry));
        Identity now = identity_of(*folder / entry.path);
        if (changed.contains(entry.path) || is_user_file(entry.path))
            EXPECT_NE(now, before[entry.path]); // downloaded, or copied so the player's edits stay apart
        else
            EXPECT_EQ(now, before[entry.path]); // the same file, linked
    }
    EXPECT_EQ(active_release(), second.release_id);
    EXPECT_FALSE(fs::exists(first_folder));
    EXPECT_TRUE(unfinished_files(game_.path()).empty());
}

TEST_F(ClientUpdateTest, ReleaseWhoseClientSignatureFailsIsNeverSwitchedTo)
{
    auto first = install_first();
    client_.write("Main.exe", "MZ a client nobody signed");
    auto second = publish();

    // The service serves a Main.exe.sig made with another key, listed and signed as if it were right.
    serve_as_listed(second, "Main.exe.sig", *test::foreign_signer().sign(client_.read("Main.exe")));

    auto folder = update();
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), client_signature_invalid_message);
    EXPECT_EQ(active_release(), first.release_id);
    EXPECT_EQ(resolve_active_release(game_.path()), game_.path() / "Versions" / first.release_id);
    EXPECT_FALSE(fs::exists(game_.path() / "Versions" / second.release_id / "release.pmx"));
}

TEST_F(ClientUpdateTest, ReleaseWhoseAssetIndexBelongsToAnotherIsNeverSwitchedTo)
{
    auto first = install_first();
    client_.write("Main.exe", "MZ the next client");
    auto second = publish();

    // The service lists, signed, the first release's asset index under the second release.
    serve_as_listed(second, "Assets/assets.idx",
                    game_.read(fs::path("Versions") / first.release_id / "Assets" / "assets.idx"));

    auto folder = update();
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), "o índice não pertence à versão assinada.");
    EXPECT_EQ(active_release(), first.release_id);
    EXPECT_FALSE(fs::exists(game_.path() / "Versions" / second.release_id / "release.pmx"));
}

TEST_F(ClientUpdateTest, DamagedFileOfTheInstalledReleaseIsDownloadedAgain)
{
    auto first = install_first();
    fs::path folder = game_.path() / "Versions" / first.release_id;
    platform::write_file(folder / "Main.exe", "MZ damaged").value();

    auto again = update();
    ASSERT_TRUE(again) << again.error();
    EXPECT_EQ(*again, folder);
    for (const ReleaseEntry& entry : first.list.entries)
        EXPECT_TRUE(file_matches_entry(folder / entry.path, entry)) << entry.path;
    auto fetched = service_.release_files_served(first.release_id);
    EXPECT_EQ(fetched.count("Main.exe"), 2u);
    EXPECT_EQ(fetched.size(), first.list.entries.size() + 1);
    EXPECT_EQ(active_release(), first.release_id);
    EXPECT_EQ(sink_.reports().back().text, "Cliente pronto para jogar.");
}

// With the same release installed, what the install recorded decides which files are read again:
// a file whose size or time moved is, one that kept both is trusted. A release folder without a
// record (installed before records were kept) is checked by size alone, and a damaged record
// vouches for nothing.
TEST_F(ClientUpdateTest, TheRecordDecidesWhichFilesAreReadAgain)
{
    enum class Record { Kept, Missing, Damaged };
    struct Case {
        const char* name;
        Record record;
        std::multiset<std::string> fetched; // of the tampered files below
    };
    const Case cases[] = {
        {"the record kept", Record::Kept, {"glew32.dll", "rewritten", "cut"}},
        {"no record", Record::Missing, {"glew32.dll", "cut"}},
        {"a damaged record", Record::Damaged, {"glew32.dll", "rewritten", "rewritten, times put back", "cut"}},
    };
    test::write_sample_client(client_.path(), {.asset_blobs = 3});
    auto published = publish();
    std::vector<std::string> blobs;
    for (const ReleaseEntry& entry : published.list.entries)
        if (is_asset_blob_name(entry.path))
            blobs.push_back(entry.path);
    ASSERT_EQ(blobs.size(), 3u);
    const std::map<std::string, std::string> tampered = {
        {"glew32.dll", "glew32.dll"}, {"rewritten", blobs[0]}, {"rewritten, times put back", blobs[1]}, {"cut", blobs[2]}};
    const fs::path folder = game_.path() / "Versions" / published.release_id;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(folder);
        auto installed = update();
        ASSERT_TRUE(installed) << installed.error();
        ASSERT_TRUE(fs::exists(folder / "verified-files"));

        ASSERT_TRUE(fs::remove(folder / "glew32.dll"));
        auto rewrite = [&](const std::string& path, bool put_times_back) {
            struct stat before {};
            ASSERT_EQ(::stat((folder / path).c_str(), &before), 0);
            std::string bytes = game_.read(folder / path);
            bytes[0] ^= 1;
            game_.write(folder / path, bytes);
            timespec times[2] = {before.st_atim, before.st_mtim};
            if (!put_times_back)
                times[1].tv_sec += 5;
            ASSERT_EQ(::utimensat(AT_FDCWD, (folder / path).c_str(), times, 0), 0);
        };
        rewrite(blobs[0], false);
        rewrite(blobs[1], true);
        std::string cut = game_.read(folder / blobs[2]);
        game_.write(folder / blobs[2], cut.substr(0, cut.size() - 1));
        if (c.record == Record::Missing)
            fs::remove(folder / "verified-files");
        if (c.record == Record::Damaged)
            game_.write(folder / "verified-files", "PXREC001\n" + published.release_id + "\n12 x glew32.dll\n");

        auto before = service_.release_files_served(published.release_id);
        auto again = update();
        ASSERT_TRUE(again) << again.error();
        std::multiset<std::string> fetched;
        for (const auto& [label, path] : tampered)
            if (service_.release_files_served(published.release_id).count(path) > before.count(path))
                fetched.insert(label);
        EXPECT_EQ(fetched, c.fetched);
        EXPECT_EQ(service_.release_files_served(published.release_id).size(), before.size() + c.fetched.size());

        // The record now holds every file as it is, so the next start fetches nothing.
        InstallRecord record = read_install_record(folder, published.release_id);
        ASSERT_EQ(record.state, InstallRecord::State::Read);
        EXPECT_EQ(record.text, install_record_text(folder, published.release_id, published.list.entries));
        before = service_.release_files_served(published.release_id);
        ASSERT_TRUE(update());
        EXPECT_EQ(service_.release_files_served(published.release_id), before);
    }
}

TEST_F(ClientUpdateTest, CancelDuringTheDownloadLeavesTheActiveReleaseAlone)
{
    auto first = install_first();
    test::write_asset_blob(client_.path(), test::patterned_bytes(3'000'000, 7));
    auto second = publish();
    service_.restart(300'000); // bytes per second per connection: the transfer is caught halfway
    ASSERT_TRUE(service_.running());

    std::atomic<bool> cancel = false;
    CancellingSink sink(cancel);
    auto folder = update(sink, cancel);
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), "cancelado");
    EXPECT_EQ(active_release(), first.release_id);
    EXPECT_EQ(resolve_active_release(game_.path()), game_.path() / "Versions" / first.release_id);
    EXPECT_TRUE(unfinished_files(game_.path()).empty());
    EXPECT_FALSE(fs::exists(game_.path() / "Versions" / second.release_id / "release.pmx"));
}

TEST_F(ClientUpdateTest, SecondUpdateOfTheSameGameFolderIsRefused)
{
    test::write_sample_client(client_.path());
    publish();
    auto lock = take_update_lock(game_.path());
    ASSERT_TRUE(lock) << lock.error();
    auto folder = update();
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), "outra atualização do Torvane está em andamento.");
}

TEST_F(ClientUpdateTest, GameFolderHoldingTheReleaseIsUpdatedInPlace)
{
    test::write_sample_client(client_.path());
    auto published = publish();
    fs::copy(published.release_folder, game_.path(), fs::copy_options::recursive);
    platform::write_file(game_.path() / "release.pmx", published.list_bytes).value();
    game_.write("Versions/0123456789abcdef0123456789abcdef/Main.exe", "an older release");

    auto folder = update_client(service_.update_service(), game_.path(), game_.path(), sink_, std::atomic<bool> {false});
    ASSERT_TRUE(folder) << folder.error();
    EXPECT_EQ(*folder, game_.path());
    EXPECT_FALSE(fs::exists(game_.path() / "active-release"));
    EXPECT_TRUE(fs::exists(game_.path() / "Versions/0123456789abcdef0123456789abcdef/Main.exe"));
    EXPECT_TRUE(service_.release_files_served(published.release_id).empty());
}

TEST_F(ClientUpdateTest, UpdateThreadReportsToTheWindow)
{
    test::write_sample_client(client_.path());
    publish();
    struct Case {
        const char* name;
        bool test_flag;
        bool launcher_replaced;
        bool service_up;
        std::vector<std::string> expected; // the messages other than Progress, in order
    };
    const Case cases[] = {
        {"launcher replaced", false, true, true, {"Finished(Ok, true)"}},
        {"test flag skips the self-update", true, true, true, {"ClientReady", "Finished(Ok, false)"}},
        {"launcher up to date", false, false, true, {"ClientReady", "Finished(Ok, false)"}},
        {"service down", true, false, false, {"Finished(Err)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.service_up)
            service_.stop();
        auto channel = std::make_shared<UiChannel>();
        int wakes = 0;
        UpdateService update_service = service_.update_service();
        update_service.self_update = [&](const std::atomic<bool>&) { return c.launcher_replaced; };
        update_service.pause = [](std::chrono::milliseconds) {};
        sealed_update_worker(SealedUpdateContext {
            .sender = UiSender(channel, [&] { ++wakes; }),
            .game_folder = game_.path(),
            .installed_folder = resolve_active_release(game_.path()),
            .test_flag = c.test_flag,
            .cancel_flag = std::make_shared<std::atomic<bool>>(false),
            .service = update_service,
        });
        std::vector<std::string> seen;
        int messages = 0;
        while (auto message = channel->try_receive()) {
            ++messages;
            if (auto* ready = std::get_if<ui_message::ClientReady>(&*message)) {
                EXPECT_EQ(ready->game_folder, resolve_active_release(game_.path()));
                seen.push_back("ClientReady");
            } else if (auto* finished = std::get_if<ui_message::Finished>(&*message)) {
                seen.push_back(!finished->outcome ? "Finished(Err)"
                                                  : *finished->outcome ? "Finished(Ok, true)" : "Finished(Ok, false)");
            }
        }
        EXPECT_EQ(seen, c.expected);
        EXPECT_EQ(wakes, messages);
    }
}

// The list fetch against a server that misbehaves on purpose.
class ReleaseListFetchTest : public ::testing::Test {
protected:
    struct Reply {
        int status = 200;
        std::size_t size = 0;
        bool chunked = false;
        bool announce_only = false; // a "Content-Length" of size, and the connection closes without a body
    };

    void SetUp() override
    {
        server_.routes().Get("/client/current.pmx", [this](const httplib::Request&, httplib::Response& res) {
            Reply reply;
            {
                std::lock_guard lock(mutex_);
                reply = replies_.front();
                if (replies_.size() > 1)
                    replies_.erase(replies_.begin());
            }
            res.status = reply.status;
            auto body = std::make_shared<std::string>(reply.size, 'x');
            if (reply.announce_only)
                return res.set_content_provider(reply.size, "application/octet-stream",
                                                [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            if (!reply.chunked)
                return res.set_content(*body, "application/octet-stream");
            res.set_chunked_content_provider("application/octet-stream", [body](std::size_t offset, httplib::DataSink& sink) {
                std::size_t size = std::min<std::size_t>(body->size() - offset, 1 << 20);
                sink.write(body->data() + offset, size);
                if (offset + size == body->size())
                    sink.done();
                return true;
            });
        });
        server_.start();
    }

    test::TlsTestServer server_;
    std::mutex mutex_;
    std::vector<Reply> replies_;
};

TEST_F(ReleaseListFetchTest, LimitsAndRetries)
{
    constexpr std::size_t limit = 5'242'880;
    const std::string too_large = "lista de atualização excede o tamanho permitido.";
    const std::vector<long> three_pauses {1000, 2000, 3000};
    struct Case {
        const char* name;
        std::vector<Reply> replies;
        std::string result; // "<n> bytes" or the error
        std::vector<long> pauses;
    };
    const Case cases[] = {
        {"at the limit", {{.size = limit}}, "5242880 bytes", {}},
        {"at the limit, chunked", {{.size = limit, .chunked = true}}, "5242880 bytes", {}},
        {"one byte past, by its length", {{.size = limit + 1}}, too_large, three_pauses},
        {"one byte past, chunked", {{.size = limit + 1, .chunked = true}}, too_large, three_pauses},
        {"a length past the limit is refused before the body", {{.size = limit + 1, .announce_only = true}},
         too_large, three_pauses},
        {"three failures, then the list", {{.status = 503}, {.status = 500}, {.status = 502}, {.size = 400}},
         "400 bytes", three_pauses},
        {"four failures give the last one", {{.status = 503}, {.status = 500}, {.status = 502}, {.status = 404}},
         "o servidor respondeu 404", three_pauses},
    };
    auto agent = http_agent(30, 120, server_.ca_pem());
    ASSERT_TRUE(agent);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(mutex_);
            replies_ = c.replies;
        }
        std::vector<long> pauses;
        UpdateService service {.client_base_url = server_.url("/client"),
                               .pause = [&](std::chrono::milliseconds p) { pauses.push_back(static_cast<long>(p.count())); }};
        auto list = fetch_release_list(*agent, service);
        EXPECT_EQ(list ? std::to_string(list->size()) + " bytes" : list.error(), c.result);
        EXPECT_EQ(pauses, c.pauses);
    }
}

TEST(ReleaseUpdate, AgentThatCannotBeMadeIsATlsFailure)
{
    test::TempDir game;
    test::RecordingSink sink;
    UpdateService service {.client_base_url = "https://127.0.0.1:1/client",
                           .make_agent = []() -> Result<HttpAgent> { return failure("no roots"); }};
    auto folder = update_client(service, game.path(), game.path(), sink, std::atomic<bool> {false});
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error(), "não foi possível iniciar o TLS");
    EXPECT_EQ(sink.reports().size(), 1u);
}

} // namespace
} // namespace torvane
