#include "update/download_workers.hpp"

#include "recording_sink.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"
#include "update/digest.hpp"
#include "update/install_folders.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <thread>

namespace torvane {
namespace {

using namespace std::chrono_literals;

constexpr char release_id[] = "0123456789abcdef0123456789abcdef";

std::string content_of(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + (i * 13 + i / 1000) % 31);
    return bytes;
}

// How the server answers one request for a file.
enum class Reply {
    Ok,
    Unavailable,   // 503
    WrongLength,   // "Content-Length" one less than the file, the body as announced
    OneByteLonger, // chunked, no length announced
    OneByteShorter,
    Corrupted, // the right size, one byte changed
    Cut,       // the connection closes halfway through the announced body
    Dribble,   // the right body, 4 KiB every few milliseconds until it ends or the server stops
    HoldUntilReleased, // the right body, sent once the test releases the hold
};

struct ServedFile {
    std::string bytes;
    std::deque<Reply> replies; // one per request; the last one repeats
    int requests = 0;
};

class DownloadWorkersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.routes().Get(R"(/client/releases/([0-9a-f]{32})/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
            answer(req.matches[1], req.matches[2], res);
        });
        server_.start();
        auto made = http_agent(30, 120, server_.ca_pem());
        ASSERT_TRUE(made) << made.error();
        agent_.emplace(std::move(*made));
    }

    void TearDown() override { release_hold(); }

    // Adds a file to the release and to the list of downloads.
    void add(const std::string& path, std::size_t size, std::deque<Reply> replies)
    {
        std::string bytes = content_of(size, static_cast<char>('A' + files_.size() % 20));
        entries_.push_back(ReleaseEntry {bytes.size(), path, hex_lower(sha256_bytes(bytes))});
        std::lock_guard lock(mutex_);
        files_[path] = ServedFile {std::move(bytes), std::move(replies)};
    }

    void answer(const std::string& id, const std::string& path, httplib::Response& res)
    {
        Reply reply;
        std::string bytes;
        {
            std::lock_guard lock(mutex_);
            auto found = files_.find(path);
            if (id != release_id || found == files_.end()) {
                res.status = 404;
                return;
            }
            ServedFile& file = found->second;
            ++file.requests;
            reply = file.replies.front();
            if (file.replies.size() > 1)
                file.replies.pop_front();
            bytes = file.bytes;
        }
        auto body = std::make_shared<std::string>(std::move(bytes));
        switch (reply) {
        case Reply::Ok:
            return res.set_content(*body, "application/octet-stream");
        case Reply::Unavailable:
            res.status = 503;
            return;
        case Reply::WrongLength:
            return res.set_content(body->substr(0, body->size() - 1), "application/octet-stream");
        case Reply::OneByteLonger:
        case Reply::OneByteShorter: {
            *body = reply == Reply::OneByteLonger ? *body + "x" : body->substr(0, body->size() - 1);
            return res.set_chunked_content_provider("application/octet-stream", [body](std::size_t offset, httplib::DataSink& sink) {
                std::size_t size = std::min<std::size_t>(body->size() - offset, 30'000);
                sink.write(body->data() + offset, size);
                if (offset + size == body->size())
                    sink.done();
                return true;
            });
        }
        case Reply::Corrupted:
            (*body)[body->size() / 2] ^= 1;
            return res.set_content(*body, "application/octet-stream");
        case Reply::Cut:
            return res.set_content_provider(body->size(), "application/octet-stream",
                                            [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                                if (offset > 0)
                                                    return false;
                                                sink.write(body->data(), body->size() / 2);
                                                return true;
                                            });
        case Reply::Dribble:
            return res.set_content_provider(body->size(), "application/octet-stream",
                                            [this, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                                server_.wait_for_stop(3ms);
                                                std::size_t size = std::min<std::size_t>(body->size() - offset, 4096);
                                                sink.write(body->data() + offset, size);
                                                return true;
                                            });
        case Reply::HoldUntilReleased: {
            std::unique_lock lock(mutex_);
            held_.wait_for(lock, 20s, [this] { return hold_released_; });
            return res.set_content(*body, "application/octet-stream");
        }
        }
    }

    void release_hold()
    {
        std::lock_guard lock(mutex_);
        hold_released_ = true;
        held_.notify_all();
    }

    int requests_for(const std::string& path)
    {
        std::lock_guard lock(mutex_);
        return files_.at(path).requests;
    }

    std::unique_ptr<DownloadTaskContext> context(const std::atomic<bool>& cancel)
    {
        pointers_.clear();
        for (const ReleaseEntry& entry : entries_)
            pointers_.push_back(&entry);
        return std::unique_ptr<DownloadTaskContext>(new DownloadTaskContext {
            .entries = pointers_,
            .agent = *agent_,
            .client_base_url = server_.url("/client"),
            .release_id = release_id,
            .release_folder = dir_.path(),
            .cancel_flag = cancel,
            .sink = sink_,
            .fresh_install = false,
            .total_bytes = total_size(pointers_),
        });
    }

    // Files left below the folder whose names mark a download in progress.
    std::vector<std::string> temporaries() const
    {
        std::vector<std::string> found;
        for (const auto& item : std::filesystem::recursive_directory_iterator(dir_.path()))
            if (is_download_temporary_name(item.path().filename().string()))
                found.push_back(item.path().filename().string());
        return found;
    }

    bool downloaded(const ReleaseEntry& entry) const
    {
        std::lock_guard lock(mutex_);
        return std::filesystem::exists(dir_.path() / entry.path) && dir_.read(entry.path) == files_.at(entry.path).bytes;
    }

    test::TempDir dir_;
    test::TlsTestServer server_;
    std::optional<HttpAgent> agent_;
    test::RecordingSink sink_;
    std::vector<ReleaseEntry> entries_;
    std::vector<const ReleaseEntry*> pointers_;
    mutable std::mutex mutex_;
    std::map<std::string, ServedFile> files_;
    std::condition_variable held_;
    bool hold_released_ = false;
};

TEST_F(DownloadWorkersTest, RetriesAndFailuresOfOneFile)
{
    using enum Reply;
    const std::vector<long> all_pauses {800, 1600, 2400};
    struct Case {
        const char* name;
        std::deque<Reply> replies;
        std::string error; // empty: the file arrives
        std::vector<long> pauses;
    };
    const Case cases[] = {
        {"503 three times, then the file", {Unavailable, Unavailable, Unavailable, Ok}, "", all_pauses},
        {"503 four times", {Unavailable}, "o servidor respondeu 503", all_pauses},
        {"wrong Content-Length", {WrongLength}, "tamanho divergente de Data/f.bin", all_pauses},
        {"one byte longer", {OneByteLonger}, "tamanho divergente de Data/f.bin", all_pauses},
        {"one byte shorter", {OneByteShorter}, "arquivo corrompido no download: Data/f.bin", all_pauses},
        {"one byte changed", {Corrupted}, "arquivo corrompido no download: Data/f.bin", all_pauses},
        {"connection cut", {Cut}, std::string(http_body_closed_early_text), all_pauses},
        {"one longer body, then the file", {OneByteLonger, Ok}, "", {800}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        entries_.clear();
        std::filesystem::remove_all(dir_.path() / "Data");
        std::filesystem::create_directories(dir_.path() / "Data");
        add("Data/f.bin", 200'000, c.replies);

        std::atomic<bool> cancel = false;
        auto job = context(cancel);
        std::vector<long> pauses;
        job->pause = [&](std::chrono::milliseconds pause) {
            pauses.push_back(static_cast<long>(pause.count()));
            // Between attempts the failed one has left nothing behind.
            EXPECT_TRUE(temporaries().empty());
            EXPECT_EQ(job->downloaded_bytes.load(), 0u);
            EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Data/f.bin"));
        };
        run_download_workers(*job);

        EXPECT_EQ(pauses, c.pauses);
        EXPECT_TRUE(temporaries().empty());
        if (c.error.empty()) {
            EXPECT_FALSE(job->first_error);
            EXPECT_TRUE(downloaded(entries_[0]));
            EXPECT_EQ(job->downloaded_bytes.load(), 200'000u);
            EXPECT_EQ(job->finished_downloads.load(), 1u);
        } else {
            EXPECT_EQ(job->first_error.value_or("(nenhum)"), c.error);
            EXPECT_TRUE(job->stop_flag.load());
            EXPECT_FALSE(std::filesystem::exists(dir_.path() / "Data/f.bin"));
            EXPECT_EQ(job->downloaded_bytes.load(), 0u);
        }
    }
}

TEST_F(DownloadWorkersTest, FileThatFailsForGoodStopsThePool)
{
    std::filesystem::create_directories(dir_.path() / "Data");
    add("Data/broken.bin", 1000, {Reply::Unavailable});
    for (int i = 0; i < 40; ++i)
        add("Data/ok" + std::to_string(i) + ".bin", 5000, {Reply::HoldUntilReleased});

    std::atomic<bool> cancel = false;
    auto job = context(cancel);
    job->pause = [](std::chrono::milliseconds) {};
    std::thread pool([&] { run_download_workers(*job); });
    // The other eleven workers each hold one transfer while the broken file fails for good.
    for (int i = 0; i < 2000 && !job->stop_flag.load(); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(job->stop_flag.load());
    release_hold();
    pool.join();

    EXPECT_EQ(job->first_error.value_or("(nenhum)"), "o servidor respondeu 503");
    EXPECT_EQ(requests_for("Data/broken.bin"), 4);
    int fetched = 0;
    for (std::size_t i = 1; i < entries_.size(); ++i) {
        int requests = requests_for(entries_[i].path);
        EXPECT_LE(requests, 1);
        fetched += requests;
        // A transfer in hand is finished; no new one is started.
        EXPECT_EQ(downloaded(entries_[i]), requests == 1) << entries_[i].path;
    }
    EXPECT_EQ(fetched, download_worker_count - 1);
    EXPECT_EQ(job->finished_downloads.load(), static_cast<std::uint32_t>(download_worker_count - 1));
    EXPECT_TRUE(temporaries().empty());
}

TEST_F(DownloadWorkersTest, CancelEndsEveryWorkerWithoutAnErrorAndKeepsWhatWasVerified)
{
    std::filesystem::create_directories(dir_.path() / "Assets");
    const int complete = 5; // verified before the cancel, still waiting for their batch
    for (int i = 0; i < complete; ++i)
        add("Assets/small" + std::to_string(i) + ".bin", 3000, {Reply::Ok});
    for (int i = 0; i < 20; ++i)
        add("Assets/big" + std::to_string(i) + ".bin", 8'000'000, {Reply::Dribble});

    std::atomic<bool> cancel = false;
    auto job = context(cancel);
    std::thread pool([&] { run_download_workers(*job); });
    // Wait until the small files are verified and twelve transfers of big ones are under way.
    auto all_started = [&] {
        int started = 0;
        for (std::size_t i = complete; i < entries_.size(); ++i)
            started += requests_for(entries_[i].path);
        return started >= download_worker_count &&
               job->finished_downloads.load() == static_cast<std::uint32_t>(complete);
    };
    for (int i = 0; i < 2000 && !all_started(); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(all_started());
    cancel = true;
    pool.join();

    EXPECT_FALSE(job->first_error);
    EXPECT_EQ(job->finished_downloads.load(), static_cast<std::uint32_t>(complete));
    EXPECT_TRUE(temporaries().empty());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ReleaseEntry& entry = entries_[i];
        bool verified = i < static_cast<std::size_t>(complete);
        EXPECT_EQ(downloaded(entry), verified) << entry.path;
        if (!verified) {
            EXPECT_FALSE(std::filesystem::exists(dir_.path() / entry.path)) << entry.path;
        }
        EXPECT_LE(requests_for(entry.path), 1) << "a cancellation is never retried";
    }
}

TEST_F(DownloadWorkersTest, ManyFilesArriveWithReportsOfTheWholePhase)
{
    std::filesystem::create_directories(dir_.path() / "Assets");
    for (int i = 0; i < 30; ++i)
        add("Assets/f" + std::to_string(i) + ".bin", 100'000 + i * 1000, {Reply::Dribble});
    std::atomic<bool> cancel = false;
    auto job = context(cancel);
    job->fresh_install = true;
    run_download_workers(*job);

    EXPECT_FALSE(job->first_error);
    for (const ReleaseEntry& entry : entries_)
        EXPECT_TRUE(downloaded(entry)) << entry.path;
    EXPECT_EQ(job->downloaded_bytes.load(), job->total_bytes);
    EXPECT_EQ(job->finished_downloads.load(), 30u);

    auto reports = sink_.reports();
    ASSERT_FALSE(reports.empty());
    for (const ProgressReport& report : reports) {
        EXPECT_EQ(report.sub_progress, report.progress);
        EXPECT_GT(report.progress, 0.0);
        EXPECT_LE(report.progress, 1.0);
        EXPECT_TRUE(report.text.starts_with("Baixando o Torvane: ")) << report.text;
        EXPECT_TRUE(report.text.ends_with(" de 4 MB")) << report.text;
        EXPECT_TRUE(report.detail.ends_with(" de 30 arquivos")) << report.detail;
    }
}

// A hard link or a symbolic link planted at a download's temporary name, leading to a file outside
// the release folder: the outside file stays as it was and the download ends as without the link.
TEST_F(DownloadWorkersTest, ALinkAtTheTemporarysNameIsNeverWrittenThrough)
{
    enum class Link { Hard, Symbolic };
    add("Assets/a.pmk", 100'000, {Reply::Ok});
    const std::string random_part = ".tmp-000000000000000000000000";
    for (Link link : {Link::Hard, Link::Symbolic}) {
        SCOPED_TRACE(link == Link::Hard ? "hard link" : "symbolic link");
        std::filesystem::remove_all(dir_.path() / "Assets");
        std::filesystem::create_directories(dir_.path() / "Assets");
        test::TempDir outside_dir;
        const auto outside = outside_dir.write("outside", "kept");
        const std::filesystem::path temporary = dir_.path() / ("Assets/a.pmk" + random_part);
        if (link == Link::Hard)
            std::filesystem::create_hard_link(outside, temporary);
        else
            std::filesystem::create_symlink(outside, temporary);

        std::atomic<bool> cancel = false;
        auto ctx = context(cancel);
        ctx->temporary_path = [&](const std::filesystem::path& target) -> Result<std::filesystem::path> {
            return std::filesystem::path(target.native() + random_part);
        };
        run_download_workers(*ctx);
        EXPECT_FALSE(ctx->first_error) << *ctx->first_error;
        EXPECT_TRUE(downloaded(entries_[0]));
        EXPECT_EQ(outside_dir.read("outside"), "kept");
        EXPECT_EQ(std::filesystem::hard_link_count(outside), 1u);
        EXPECT_TRUE(temporaries().empty());
    }
}

TEST(DownloadTemporaryPath, IsTheTargetWithTwentyFourRandomHexDigits)
{
    auto first = download_temporary_path("/jogo/Versions/x/Main.exe");
    auto second = download_temporary_path("/jogo/Versions/x/Main.exe");
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->string().starts_with("/jogo/Versions/x/Main.exe.tmp-")) << first->string();
    EXPECT_TRUE(is_download_temporary_name(first->filename().string())) << first->string();
    EXPECT_NE(*first, *second);
}

} // namespace
} // namespace torvane
