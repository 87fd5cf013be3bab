#include "app/update_test_mode.hpp"

#include "app/modes.hpp"
#include "core/launcher_config_cache.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <regex>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace torvane {
namespace {

ui_message::Progress report(std::string text, std::string detail = {})
{
    return {{.text = std::move(text), .detail = std::move(detail)}};
}

TEST(UpdateTestStatusLogger, LogsEachPhaseOnceAndEachDownloadedFileOnce)
{
    struct Case {
        const char* name;
        std::vector<ui_message::Progress> reports;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a phase with changing details is logged at its first report",
         {report("Buscando atualizações..."), report("Verificando arquivos..."), report("Verificando arquivos...", "a.txt"),
          report("Verificando arquivos...", "b.txt")},
         {"Buscando atualizações...", "Verificando arquivos..."}},
        {"downloads once per file",
         {report("Baixando atualização...", "a.bin"), report("Baixando atualização...", "a.bin"),
          report("Baixando atualização...", "b.bin"), report("Atualização concluída.")},
         {"Baixando atualização... a.bin", "Baixando atualização... b.bin", "Atualização concluída."}},
        {"a line seen before is not repeated after another phase",
         {report("Verificando arquivos..."), report("Cliente atualizado."), report("Verificando arquivos..."),
          report("Verificando arquivos...", "x")},
         {"Verificando arquivos...", "Cliente atualizado."}},
        {"short labels",
         {report("Baix"), report("Baix", "1"), report("ok"), report("ok")},
         {"Baix", "ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateTestStatusLogger logger;
        for (const auto& r : c.reports)
            logger.call(r);
        logger.call(ui_message::ServerStatus {.online = true}); // not a progress report: ignored
        EXPECT_EQ(logger.lines(), c.lines);
    }
}

TEST(UpdateTestSuccessLine, OneDecimalWithAComma)
{
    struct Case {
        double seconds;
        const char* line;
    };
    const Case cases[] = {{12.34, "OK em 12,3 s"}, {0.04, "OK em 0,0 s"}, {0.0, "OK em 0,0 s"}, {59.96, "OK em 60,0 s"}};
    for (const Case& c : cases)
        EXPECT_EQ(update_test_success_line(c.seconds), c.line);
    EXPECT_EQ(join_log_lines({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(join_log_lines({}), "");
}

class RunUpdateTestMode : public ::testing::Test {
protected:
    void configure(UpdateConfig update)
    {
        LauncherConfig config = default_launcher_config();
        config.update = std::move(update);
        ASSERT_TRUE(save_launcher_config(config, launcher_json_cache_path(dir_.path())));
    }
    std::string log() const { return dir_.read("Data/Launcher/atualizacao_teste.log"); }

    test::TempDir dir_;
};

TEST_F(RunUpdateTestMode, ADisabledUpdateLogsOnlyTheTime)
{
    configure({.enabled = false, .manifest_url = "https://127.0.0.1:1/manifest.json"});
    EXPECT_EQ(run_update_test(dir_.path(), false), 0);
    EXPECT_TRUE(std::regex_match(log(), std::regex("OK em [0-9]+,[0-9] s\r\n"))) << log();
    // The log is replaced on every run, never appended to.
    EXPECT_EQ(run_update_test(dir_.path(), true), 0);
    EXPECT_TRUE(std::regex_match(log(), std::regex("OK em [0-9]+,[0-9] s\r\n"))) << log();
}

TEST_F(RunUpdateTestMode, AnAddressWithoutTlsEndsTheLogWithTheError)
{
    configure({.enabled = true, .manifest_url = "http://127.0.0.1:1/manifest.json", .files_base_url = "https://127.0.0.1:1/files"});
    EXPECT_EQ(run_update_test(dir_.path(), false), 1);
    EXPECT_EQ(log(), "ERRO: endereço de atualização inválido (precisa ser https).\r\n");
}

// A 64 KiB tmpfs over a folder while it lives (only root may mount), so that a test can fill the
// disk or make the folder take no new files.
class SmallMount {
public:
    explicit SmallMount(const std::filesystem::path& folder) : folder_(folder)
    {
        std::filesystem::create_directories(folder);
        mounted_ = ::geteuid() == 0 && ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~SmallMount()
    {
        if (mounted_)
            ::umount2(folder_.c_str(), MNT_DETACH);
    }
    SmallMount(const SmallMount&) = delete;
    SmallMount& operator=(const SmallMount&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

// Sets or clears the immutable attribute: no file can be created, renamed or deleted in a folder
// that carries it, whoever asks.
bool set_immutable(const std::filesystem::path& folder, bool immutable)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0)
        ::close(fd);
    return done;
}

// Fills the file system that holds the folder until not one more byte fits.
void fill_up(const std::filesystem::path& folder)
{
    std::ofstream filler(folder / "enchimento", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
        filler.flush();
    filler.clear();
    for (int i = 0; i < 4096 && filler.put('x'); ++i)
        filler.flush();
}

// A failed run must not leave the previous run's "OK" behind, even where no new file fits in the
// log's folder: the log is truncated and written in place.
TEST_F(RunUpdateTestMode, AFailedRunReplacesAnOkLogWhereNoNewFileFits)
{
    const std::filesystem::path folder = dir_.path() / "Data/Launcher";
    struct Case {
        const char* name;
        std::function<bool()> obstruct;
        std::function<void()> clear;
    };
    const Case cases[] = {
        {"the disk is full", [&] { fill_up(folder); return true; }, [&] { std::filesystem::remove(folder / "enchimento"); }},
        {"the folder takes no new files", [&] { return set_immutable(folder, true); }, [&] { set_immutable(folder, false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SmallMount mount(folder);
        if (!mount.mounted())
            GTEST_SKIP() << "needs root to mount a small tmpfs";
        configure({.enabled = true, .manifest_url = "http://127.0.0.1:1/manifest.json", .files_base_url = "https://127.0.0.1:1/files"});
        dir_.write("Data/Launcher/atualizacao_teste.log", "Verificando arquivos...\r\nOK em 0,8 s\r\n");
        ASSERT_TRUE(c.obstruct());
        EXPECT_EQ(run_update_test(dir_.path(), false), 1);
        EXPECT_EQ(log(), "ERRO: endereço de atualização inválido (precisa ser https).\r\n");
        c.clear();
    }
}

} // namespace
} // namespace torvane
