#include "update/manifest_update.hpp"

#include "digest.hpp"
#include "recording_sink.hpp"
#include "support/temp_dir.hpp"
#include "support/tls_test_server.hpp"
#include "update/file_check.hpp"
#include "update/hash_cache.hpp"
#include "update/time_query.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <map>
#include <set>

namespace torvane {
namespace {

namespace fs = std::filesystem;

TEST(TimeQueryTicks, CountsWholeMillisecondsSinceYearOne)
{
    struct Case {
        std::int64_t system_ticks;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {platform::unix_epoch_ticks, 621355968000000000},
        {platform::unix_epoch_ticks + 10000, 621355968000010000},
        {platform::unix_epoch_ticks + 19999, 621355968000010000},
        {platform::unix_epoch_ticks - 1, 621355968000000000},
        {0, 621355968000000000},
        {638000000001234567, 638000000001230000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(time_query_ticks(c.system_ticks), c.expected) << c.system_ticks;
}

TEST(ManifestRequestUrl, AddsTheTimeWithQuestionMarkOrAmpersand)
{
    EXPECT_EQ(manifest_request_url("https://h/m.json", 621355968000010000), "https://h/m.json?t=621355968000010000");
    EXPECT_EQ(manifest_request_url("https://h/m.json?canal=1", 5), "https://h/m.json?canal=1&t=5");
}

TEST(ManifestDownloadUrl, EncodesEachSegmentAndEndsWithTheHash)
{
    struct Case {
        const char* base;
        const char* path;
        const char* sha;
        const char* expected;
    };
    const Case cases[] = {
        {"https://h/files", "dir with space/é.txt", "ab", "https://h/files/dir%20with%20space/%C3%A9.txt?h=ab"},
        {"https://h/files//", "a.txt", "ab", "https://h/files/a.txt?h=ab"},
        {"https://h/files/", "Data/Local/Por/Text_Por.bmd", "", "https://h/files/Data/Local/Por/Text_Por.bmd?h="},
        {"https://h", "keep-._~/odd+&?#%=.txt", "AB", "https://h/keep-._~/odd%2B%26%3F%23%25%3D.txt?h=AB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(manifest_download_url(c.base, c.path, c.sha), c.expected) << c.path;
}

TEST(SanitizeManifestPaths, KeepsOnlySafeRelativePaths)
{
    std::vector<ManifestFile> entries;
    for (const char* path : {"../x", "a/../b", "x..y", "/abs", "\\abs", "C:x", "a:b", "", "  \t", "sub\\file.txt",
                             " spaced.txt", "Data/Macro.txt"})
        entries.push_back({.path = path, .size = 1});
    entries.push_back({.size = 2}); // no path
    std::vector<std::string> kept;
    for (const ManifestFile& entry : sanitize_manifest_paths(entries))
        kept.push_back(*entry.path);
    EXPECT_EQ(kept, (std::vector<std::string> {"sub/file.txt", " spaced.txt", "Data/Macro.txt"}));
}

TEST(SanitizeManifestPaths, AComponentWindowsMapsElsewhereMakesAPathUnsafe)
{
    struct Case {
        const char* path;
        bool kept;
    };
    const Case cases[] = {
        {"nul", false},          {"Data/NUL.txt", false},     {"Data\\Local\\COM1.log", false},
        {"aux/readme.txt", false}, {"lpt9", false},           {"Main.exe.", false},
        {"Main.exe ", false},    {"Data./Macro.txt", false},  {"Data /Macro.txt", false},
        {" spaced.txt ", false}, {"Data/Custom/CONFIG.INI", true}, {"COM10.txt", true},
        {"nul_x.txt", true},     {"Data//Macro.txt", true}, // an empty piece is no component
    };
    for (const Case& c : cases)
        EXPECT_EQ(sanitize_manifest_paths({{.path = c.path, .size = 1}}).size(), c.kept ? 1u : 0u) << c.path;
}

TEST(SanitizeManifestPaths, AControlCharacterMakesAPathUnsafe)
{
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string path;
        bool kept;
    };
    const Case cases[] = {
        {"NUL", "Data/Custom/config.ini\0.txt"s, false},
        {"line feed", "a\nb.txt", false},
        {"carriage return", "a.txt\r", false},
        {"tab inside", "a\tb.txt", false},
        {"unit separator", "a\x1F.txt", false},
        {"DEL", "a\x7F.txt", false},
        {"space", "a b.txt", true},
        {"tilde", "a~.txt", true},
        {"non-ASCII", "é\u00A0ü.txt", true}, // U+00A0 is no control character of the rule
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto kept = sanitize_manifest_paths({{.path = c.path, .size = 1}});
        ASSERT_EQ(kept.size(), c.kept ? 1u : 0u);
        if (c.kept)
            EXPECT_EQ(*kept[0].path, c.path);
    }
}

// A file the test server publishes.
struct Published {
    std::string path;
    std::string bytes;
    bool only_if_missing = false;
};

class ManifestUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& routes = server_.routes();
        routes.Get("/manifest.json", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            manifest_queries_.push_back(req.get_param_value("t"));
            res.status = manifest_status_;
            res.set_content(manifest_, "application/json");
        });
        routes.Get(R"(/files/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
            std::string path = req.matches[1];
            std::lock_guard lock(mutex_);
            requests_.push_back(path);
            hash_queries_[path] = req.get_param_value("h");
            auto found = served_.find(path);
            if (found == served_.end()) {
                res.status = 404;
                return;
            }
            if (path == slow_path_) {
                // Pieces of 64 KiB, so a reader sees several before the end.
                auto body = std::make_shared<std::string>(found->second);
                res.set_chunked_content_provider("application/octet-stream", [body](std::size_t offset, httplib::DataSink& sink) {
                    std::size_t size = std::min<std::size_t>(65536, body->size() - offset);
                    sink.write(body->data() + offset, size);
                    if (offset + size == body->size())
                        sink.done();
                    return true;
                });
                return;
            }
            res.set_content(found->second, "application/octet-stream");
        });
        server_.start();
        fs::create_directories(base());
        context_.base_folder = base();
        context_.running_exe = base() / "launcher";
        std::string ca = server_.ca_pem();
        context_.make_agent = [ca](int connect, int read) { return http_agent(connect, read, ca); };
    }

    fs::path base() const { return dir_.path() / "game"; }

    UpdateConfig config() const
    {
        return {.enabled = true, .manifest_url = server_.url("/manifest.json"), .files_base_url = server_.url("/files")};
    }

    // Publishes the files in a manifest with their sizes and digests, served as given.
    void publish(const std::vector<Published>& files)
    {
        UpdateManifest manifest {.version = "202612052304", .files = std::vector<ManifestFile> {}};
        std::lock_guard lock(mutex_);
        served_.clear();
        for (const Published& file : files) {
            manifest.files->push_back({.path = file.path,
                                       .size = static_cast<std::int64_t>(file.bytes.size()),
                                       .sha256 = test::sha256_hex(file.bytes),
                                       .only_if_missing = file.only_if_missing});
            served_[file.path] = file.bytes;
        }
        manifest_ = format_update_manifest(manifest);
    }

    void set_manifest(std::string text)
    {
        std::lock_guard lock(mutex_);
        manifest_ = std::move(text);
    }
    void serve(const std::string& path, std::string bytes)
    {
        std::lock_guard lock(mutex_);
        served_[path] = std::move(bytes);
    }

    Status run(test::RecordingSink& sink)
    {
        {
            std::lock_guard lock(mutex_);
            requests_.clear();
        }
        return run_update(context_, config(), sink, cancel_);
    }
    Status run()
    {
        sink_ = std::make_unique<test::RecordingSink>();
        return run(*sink_);
    }

    std::vector<std::string> requests()
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // Every file below the base folder, as relative paths.
    std::set<std::string> files_below_base() const
    {
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(base())) {
            if (!entry.is_directory())
                found.insert(fs::relative(entry.path(), base()).string());
        }
        return found;
    }

    std::string read(const std::string& relative) const { return dir_.read(fs::path("game") / relative); }

    test::TempDir dir_;
    test::TlsTestServer server_;
    ManifestRunContext context_;
    std::atomic<bool> cancel_ {false};
    std::unique_ptr<test::RecordingSink> sink_;

    std::mutex mutex_;
    std::string manifest_ = "{}";
    int manifest_status_ = 200;
    std::map<std::string, std::string> served_;
    std::string slow_path_;
    std::vector<std::string> requests_;
    std::vector<std::string> manifest_queries_;
    std::map<std::string, std::string> hash_queries_;
};

TEST_F(ManifestUpdateTest, AddressChecksComeBeforeAnyRequest)
{
    const std::string manifest = server_.url("/manifest.json");
    const std::string files = server_.url("/files");
    auto http = [](std::string url) { return "http" + url.substr(5); };
    struct Case {
        const char* name;
        UpdateConfig update;
        bool ok;
        bool fetched;
    };
    const Case cases[] = {
        {"disabled", {.enabled = false, .manifest_url = manifest, .files_base_url = files}, true, false},
        {"no manifest address", {.enabled = true, .files_base_url = files}, true, false},
        {"blank manifest address", {.enabled = true, .manifest_url = " \t", .files_base_url = files}, true, false},
        {"plain http manifest", {.enabled = true, .manifest_url = http(manifest), .files_base_url = files}, false, false},
        {"plain http files", {.enabled = true, .manifest_url = manifest, .files_base_url = http(files)}, false, false},
        {"no files address", {.enabled = true, .manifest_url = manifest}, false, false},
        {"leading blank", {.enabled = true, .manifest_url = " " + manifest, .files_base_url = files}, false, false},
        {"upper-case schemes", {.enabled = true, .manifest_url = "HTTPS" + manifest.substr(5), .files_base_url = "Https" + files.substr(5)}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        manifest_queries_.clear();
        test::RecordingSink sink;
        Status result = run_update(context_, c.update, sink, cancel_);
        if (c.ok) {
            EXPECT_TRUE(result) << result.error();
        } else {
            EXPECT_EQ(result, std::unexpected(std::string("endereço de atualização inválido (precisa ser https).")));
        }
        EXPECT_EQ(manifest_queries_.size(), c.fetched ? 1u : 0u);
        EXPECT_EQ(sink.reports().empty(), !c.fetched);
    }
}

TEST_F(ManifestUpdateTest, FillsAFreshFolderThenAnswersFromTheCache)
{
    const std::vector<Published> files = {
        {"Main.exe", std::string(300000, 'M')},
        {"Data/Local/Por/Text_Por.bmd", "texto"},
        {"dir with space/é.txt", "acentos"},
        {"Data/Macro.txt", "macros", true},
        {"empty.bin", ""},
    };
    publish(files);
    ASSERT_TRUE(run()) << run().error();
    for (const Published& file : files)
        EXPECT_EQ(read(file.path), file.bytes) << file.path;
    EXPECT_EQ(requests().size(), files.size());
    EXPECT_EQ(hash_queries_["dir with space/é.txt"], test::sha256_hex("acentos"));
    ASSERT_EQ(manifest_queries_.size(), 1u);
    EXPECT_TRUE(manifest_queries_[0].ends_with("0000")) << manifest_queries_[0];
    EXPECT_GT(std::stoull(manifest_queries_[0]), 621355968000000000u);
    EXPECT_EQ(sink_->phases(), (std::vector<std::string> {"Buscando atualizações...", "Verificando arquivos...",
                                                          "Baixando atualização...", "Atualização concluída."}));
    // No temporary is left, and the cache names every installed file by its path, size and time.
    HashCache cache = load_hash_cache(base());
    for (const Published& file : files) {
        EXPECT_FALSE(fs::exists(base() / (file.path + ".part")));
        auto info = platform::file_info(join_relative_path(base(), file.path), platform::FollowLinks::No);
        EXPECT_EQ(cache[hash_cache_key(file.path, *info)], test::sha256_hex(file.bytes)) << file.path;
    }

    // Nothing changed: nothing is downloaded.
    ASSERT_TRUE(run());
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(sink_->phases().back(), "Cliente atualizado.");
    EXPECT_EQ(sink_->reports().back(), (ProgressReport {.sub_progress = 1, .progress = 1, .text = "Cliente atualizado."}));

    // Another content of the same size under the same time: the cache answers, so the file was not read.
    fs::path main_exe = base() / "Main.exe";
    struct stat before {};
    ASSERT_EQ(::stat(main_exe.c_str(), &before), 0);
    dir_.write("game/Main.exe", std::string(300000, 'X'));
    timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, main_exe.c_str(), times, 0), 0);
    ASSERT_TRUE(run());
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(sink_->phases().back(), "Cliente atualizado.");

    // A file changed on disk is downloaded again, alone, and its new key is cached.
    dir_.write("game/Data/Local/Por/Text_Por.bmd", "editado");
    ASSERT_TRUE(run());
    EXPECT_EQ(requests(), std::vector<std::string> {"Data/Local/Por/Text_Por.bmd"});
    EXPECT_EQ(read("Data/Local/Por/Text_Por.bmd"), "texto");
    auto info = platform::file_info(base() / "Data/Local/Por/Text_Por.bmd", platform::FollowLinks::No);
    EXPECT_EQ(load_hash_cache(base())[hash_cache_key("Data/Local/Por/Text_Por.bmd", *info)], test::sha256_hex("texto"));
}

TEST_F(ManifestUpdateTest, UnsafePathsAreDroppedAndNothingIsWrittenOutside)
{
    std::vector<Published> files;
    for (const char* path : {"../x", "a/../b", "/abs", "C:x", "a:b", "ok\\inner.txt"})
        files.push_back({path, "conteúdo"});
    publish(files);
    serve("ok/inner.txt", "conteúdo");
    ASSERT_TRUE(run());
    EXPECT_EQ(requests(), std::vector<std::string> {"ok/inner.txt"});
    EXPECT_EQ(files_below_base(), (std::set<std::string> {"ok/inner.txt", "Data/Launcher/hashes.cache"}));
    std::set<std::string> beside;
    for (const auto& entry : fs::directory_iterator(dir_.path()))
        beside.insert(entry.path().filename().string());
    EXPECT_EQ(beside, std::set<std::string> {"game"});
}

TEST_F(ManifestUpdateTest, NamesWithControlCharactersAreNeitherFetchedNorWritten)
{
    using namespace std::string_literals;
    dir_.write("game/Data/Custom/config.ini", "do jogador");
    // The NUL would end the name at "config.ini"; the line feed would split a line of the hash cache.
    publish({{"Data/Custom/config.ini\0.txt"s, "do servidor"}, {"a\nb.txt", "quebra"}, {"ok.txt", "certo"}});
    ASSERT_TRUE(run()) << run().error();
    EXPECT_EQ(requests(), std::vector<std::string> {"ok.txt"});
    EXPECT_EQ(read("Data/Custom/config.ini"), "do jogador");
    EXPECT_EQ(files_below_base(),
              (std::set<std::string> {"Data/Custom/config.ini", "ok.txt", "Data/Launcher/hashes.cache"}));
    for (const auto& [key, value] : load_hash_cache(base()))
        EXPECT_TRUE(key.starts_with("ok.txt|")) << key;
}

TEST_F(ManifestUpdateTest, ALinkUnderThePartNameIsReplacedNotWrittenThrough)
{
    dir_.write("outside.txt", "fora");
    fs::create_directories(base());
    fs::create_symlink(dir_.path() / "outside.txt", base() / "a.txt.part");
    publish({{"a.txt", "novo"}});
    ASSERT_TRUE(run()) << run().error();
    EXPECT_EQ(read("a.txt"), "novo");
    EXPECT_EQ(dir_.read("outside.txt"), "fora");
    EXPECT_FALSE(fs::exists(base() / "a.txt.part"));
}

// A manifest may list a file under the name another file's temporary would take ("a.bin.part"
// beside "a.bin"): every listed file is installed, in either order, and stays installed when the
// other is downloaded again; the temporary takes the first name no listed path takes.
TEST_F(ManifestUpdateTest, AFileNamedLikeAnotherFilesTemporaryIsInstalledToo)
{
    struct Case {
        const char* name;
        std::vector<Published> files; // "a.bin" among them
    };
    const Case cases[] = {
        {"the temporary's name listed first", {{"a.bin.part", "sob o nome do temporário"}, {"a.bin", "o arquivo"}}},
        {"the temporary's name listed last", {{"a.bin", "o arquivo"}, {"a.bin.part", "sob o nome do temporário"}}},
        {"the next name listed too",
         {{"a.bin.1.part", "o segundo nome"}, {"a.bin.part", "sob o nome do temporário"}, {"a.bin", "o arquivo"}}},
        {"a folder under the temporary's name", {{"a.bin.part/x.txt", "numa pasta"}, {"a.bin", "o arquivo"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(base());
        fs::create_directories(base());
        std::set<std::string> expected_files = {"Data/Launcher/hashes.cache"};
        for (const Published& file : c.files)
            expected_files.insert(file.path);

        publish(c.files);
        Status first = run();
        ASSERT_TRUE(first) << first.error();
        for (const Published& file : c.files)
            EXPECT_EQ(read(file.path), file.bytes) << file.path;
        EXPECT_EQ(files_below_base(), expected_files);

        // Only "a.bin" changes: its download leaves every other listed file as it is.
        std::vector<Published> changed = c.files;
        for (Published& file : changed)
            if (file.path == "a.bin")
                file.bytes = "o arquivo, alterado";
        publish(changed);
        Status second = run();
        ASSERT_TRUE(second) << second.error();
        EXPECT_EQ(requests(), std::vector<std::string> {"a.bin"});
        for (const Published& file : changed)
            EXPECT_EQ(read(file.path), file.bytes) << file.path;
        EXPECT_EQ(files_below_base(), expected_files);
    }
}

TEST_F(ManifestUpdateTest, ACorruptDownloadFailsAndLeavesTheOldFile)
{
    struct Case {
        const char* name;
        std::string manifest;
    };
    const Case cases[] = {
        {"wrong bytes served",
         R"({"Files":[{"Path":"a.txt","Size":12,"Sha256":")" + test::sha256_hex("new contents") + R"("}]})"},
        {"no digest in the manifest", R"({"Files":[{"Path":"a.txt","Size":12}]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.write("game/a.txt", "old contents");
        set_manifest(c.manifest);
        serve("a.txt", "bad contents");
        EXPECT_EQ(run(), std::unexpected(std::string("Arquivo corrompido no download: a.txt")));
        EXPECT_EQ(read("a.txt"), "old contents");
        EXPECT_FALSE(fs::exists(base() / "a.txt.part"));
    }
}

TEST_F(ManifestUpdateTest, ADownloadLongerThanItsSizeStopsAtTheSize)
{
    // 32 MiB arrive for an entry of 10 bytes whose digest the first 10 bytes match.
    std::string served(32 * 1048576, 'x');
    slow_path_ = "a.txt";
    for (std::int64_t size : {std::int64_t(10), std::int64_t(0), std::int64_t(-1)}) {
        SCOPED_TRACE(size);
        dir_.write("game/a.txt", "old contents");
        set_manifest(R"({"Files":[{"Path":"a.txt","Size":)" + std::to_string(size) + R"(,"Sha256":")"
                     + test::sha256_hex(served.substr(0, 10)) + R"("}]})");
        serve("a.txt", served);
        test::RecordingSink sink;
        EXPECT_EQ(run(sink), std::unexpected(std::string("Arquivo corrompido no download: a.txt")));
        EXPECT_EQ(read("a.txt"), "old contents");
        EXPECT_FALSE(fs::exists(base() / "a.txt.part"));
        // The download ended at the first piece past the size, not at the end of the body.
        std::size_t pieces = 0;
        for (const ProgressReport& report : sink.reports())
            pieces += report.text == "Baixando atualização...";
        EXPECT_LE(pieces, 1u);
    }
}

TEST_F(ManifestUpdateTest, AManifestAboveTheLimitIsRefused)
{
    std::string manifest = "{\"Files\":[]}";
    manifest.resize(64 * 1048576 + 1, ' ');
    set_manifest(manifest);
    EXPECT_EQ(run(), std::unexpected(std::string("manifesto grande demais (mais de 64 MiB)")));
    manifest.resize(64 * 1048576);
    set_manifest(manifest);
    EXPECT_TRUE(run());
}

TEST_F(ManifestUpdateTest, ReplacingTheRunningExecutableKeepsItAsideAndAsksForARestart)
{
    dir_.write("game/launcher", "old launcher");
    fs::permissions(base() / "launcher", fs::perms(0755));
    dir_.write("game/launcher.old", "from an earlier swap");
    publish({{"launcher", "new launcher"}, {"Main.exe", "cliente"}});
    ASSERT_TRUE(run());
    EXPECT_TRUE(context_.relaunch);
    EXPECT_EQ(read("launcher"), "new launcher");
    EXPECT_EQ(read("launcher.old"), "old launcher");
    EXPECT_EQ(fs::status(base() / "launcher").permissions(), fs::perms(0755));
    EXPECT_EQ(read("Main.exe"), "cliente");
}

TEST_F(ManifestUpdateTest, AnExecutableThatCannotBeReplacedIsPutBack)
{
    // The temporary is gone, so the new file cannot take the executable's name once the old one
    // has been moved aside.
    dir_.write("game/launcher", "old launcher");
    Status replaced = replace_file(context_, base() / "launcher.part", base() / "launcher", base() / "launcher");
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error(), "No such file or directory (os error 2)");
    EXPECT_EQ(read("launcher"), "old launcher");
    EXPECT_FALSE(fs::exists(base() / "launcher.old"));
    EXPECT_FALSE(context_.relaunch);
}

TEST_F(ManifestUpdateTest, WithTheTestFlagTheRunningExecutableIsIgnored)
{
    dir_.write("game/launcher", "old launcher");
    context_.test_flag = true;
    publish({{"./launcher", "new launcher"}, {"Main.exe", "cliente"}});
    ASSERT_TRUE(run());
    EXPECT_FALSE(context_.relaunch);
    EXPECT_EQ(requests(), std::vector<std::string> {"Main.exe"});
    EXPECT_EQ(read("launcher"), "old launcher");
    EXPECT_FALSE(fs::exists(base() / "launcher.old"));
}

TEST_F(ManifestUpdateTest, TheRunningExecutableIsToldByIdentityNotByName)
{
    // A game file whose name differs from the launcher's only in letter case is another file.
    for (bool test_flag : {false, true}) {
        SCOPED_TRACE(test_flag);
        context_.test_flag = test_flag;
        context_.relaunch = false;
        dir_.write("game/launcher", "running launcher");
        dir_.write("game/Launcher", "old game file");
        publish({{"Launcher", "new game file"}});
        ASSERT_TRUE(run());
        EXPECT_FALSE(context_.relaunch);
        EXPECT_EQ(read("Launcher"), "new game file");
        EXPECT_EQ(read("launcher"), "running launcher");
        EXPECT_FALSE(fs::exists(base() / "Launcher.old"));
    }
    // Another name of the same file is the running executable.
    fs::create_hard_link(base() / "launcher", base() / "other-name");
    context_.test_flag = true;
    publish({{"other-name", "new launcher"}});
    ASSERT_TRUE(run());
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(read("launcher"), "running launcher");
}

TEST_F(ManifestUpdateTest, AReadOnlyTargetIsReplaced)
{
    dir_.write("game/Data/a.txt", "velho");
    fs::permissions(base() / "Data/a.txt", fs::perms(0444));
    publish({{"Data/a.txt", "novo"}});
    ASSERT_TRUE(run());
    EXPECT_EQ(read("Data/a.txt"), "novo");
    EXPECT_FALSE(context_.relaunch);
}

TEST_F(ManifestUpdateTest, CancellingDuringADownloadRemovesItsPartFile)
{
    slow_path_ = "big.bin";
    publish({{"big.bin", std::string(4 * 1048576, 'b')}, {"after.bin", "depois"}});
    test::RecordingSink sink([this](const ProgressReport& report) {
        if (report.text == "Baixando atualização...")
            cancel_ = true;
    });
    EXPECT_EQ(run(sink), std::unexpected(std::string("cancelado")));
    EXPECT_FALSE(fs::exists(base() / "big.bin.part"));
    EXPECT_FALSE(fs::exists(base() / "big.bin"));
    EXPECT_EQ(requests(), std::vector<std::string> {"big.bin"});
}

TEST_F(ManifestUpdateTest, CancellingBeforeTheChecksSavesNoCache)
{
    publish({{"a.bin", "a"}});
    cancel_ = true;
    EXPECT_EQ(run(), std::unexpected(std::string("cancelado")));
    EXPECT_TRUE(requests().empty());
    EXPECT_FALSE(fs::exists(hash_cache_path(base())));
}

TEST_F(ManifestUpdateTest, ReportsEachDownloadAgainstItsFileAndTheTotal)
{
    publish({{"a.bin", std::string(200000, 'a')}, {"b.bin", std::string(100000, 'b')}, {"zero.bin", ""}});
    ASSERT_TRUE(run());
    std::map<std::string, ProgressReport> last;
    double previous = 0;
    for (const ProgressReport& report : sink_->reports()) {
        if (report.text != "Baixando atualização...")
            continue;
        EXPECT_GE(report.progress, previous);
        previous = report.progress;
        last[report.detail] = report;
    }
    EXPECT_EQ(last.size(), 2u); // an empty body has no piece to report
    EXPECT_DOUBLE_EQ(last["a.bin"].sub_progress, 1.0);
    EXPECT_DOUBLE_EQ(last["a.bin"].progress, 200000.0 / 300000.0);
    EXPECT_DOUBLE_EQ(last["b.bin"].progress, 1.0);
    EXPECT_EQ(sink_->reports().back(), (ProgressReport {.sub_progress = 1, .progress = 1, .text = "Atualização concluída."}));
}

TEST_F(ManifestUpdateTest, ServerAndManifestFaultsEndTheRun)
{
    const std::string bom_manifest = "\xEF\xBB\xBF{\"Files\":[]}";
    struct Case {
        const char* name;
        std::string manifest;
        int status;
        std::string error; // empty: success
    };
    const Case cases[] = {
        {"manifest missing", "{}", 404, "o servidor respondeu 404"},
        {"manifest with a byte-order mark", bom_manifest, 200, ""},
        {"manifest cut short", R"({"Files":[)", 200, "manifesto inválido: " + parse_update_manifest(R"({"Files":[)").error()},
        {"file not served", R"({"Files":[{"Path":"missing.bin","Size":1,"Sha256":"00"}]})", 200, "o servidor respondeu 404"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set_manifest(c.manifest);
        manifest_status_ = c.status;
        Status result = run();
        if (c.error.empty()) {
            EXPECT_TRUE(result) << result.error();
        } else {
            EXPECT_EQ(result, std::unexpected(c.error));
        }
    }
}

TEST_F(ManifestUpdateTest, AnAgentThatCannotBeMadeIsATlsFailure)
{
    context_.make_agent = [](int, int) -> Result<HttpAgent> { return failure("sem TLS"); };
    EXPECT_EQ(run(), std::unexpected(std::string("não foi possível iniciar o TLS")));
}

} // namespace
} // namespace torvane
