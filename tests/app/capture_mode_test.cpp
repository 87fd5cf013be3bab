#include "app/capture_mode.hpp"

#include "app/modes.hpp"
#include "render/font.hpp"
#include "render/images.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace torvane {
namespace {

using test::TempDir;

// An opening long past, so that the stage shows the opening text whatever the date.
constexpr std::string_view opened_data = R"({"Abertura": "2020-01-01T00:00:00-03:00"})";

// Own links, news with accents, rows split at "|", at a fractional scale.
constexpr std::string_view custom_data = R"({
  "Abertura": "2020-01-01T00:00:00-03:00",
  "Links": [{"Text": "Loja", "Url": "https://example.invalid/loja"}, {"Text": "minha loja"}],
  "News": [
    {"Tag": "Atualização", "Color": "#8b5cf6 ", "Text": "Nova temporada começa amanhã com evento de boas-vindas e bônus em dobro", "Date": "hoje"},
    {"Tag": "Manutenção", "Color": "#3B82F6", "Text": "Servidor reinicia às 4h", "Date": "12/12"}
  ],
  "Info": [{"Label": "Versão", "Value": "Season 6 | Ação  |  | Três"}]
})";

Pixmap read_png(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::optional<Pixmap> image = decode_png(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!image)
        return Pixmap::create_or_die(1, 1);
    return std::move(*image);
}

struct Difference {
    double differing_share = 0; // of the compared pixels, those with a channel off by more than 48
    double mean = 0;            // mean of the largest channel difference per pixel
};

// Compares the pixels of the rectangle x0..x1, y0..y1 (exclusive ends).
Difference compare(const Pixmap& a, const Pixmap& b, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1)
{
    Difference result;
    std::uint64_t differing = 0;
    std::uint64_t total = 0;
    for (std::uint32_t y = y0; y < y1; ++y)
        for (std::uint32_t x = x0; x < x1; ++x) {
            const std::uint32_t p = a.at(x, y);
            const std::uint32_t q = b.at(x, y);
            int largest = 0;
            for (int shift = 0; shift < 32; shift += 8)
                largest = std::max(largest, std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)));
            differing += largest > 48;
            total += static_cast<std::uint64_t>(largest);
        }
    const double count = static_cast<double>(x1 - x0) * (y1 - y0);
    result.differing_share = static_cast<double>(differing) / count;
    result.mean = static_cast<double>(total) / count;
    return result;
}

Difference compare_whole(const Pixmap& a, const Pixmap& b) { return compare(a, b, 0, 0, a.width(), a.height()); }

int capture(const TempDir& base, const std::filesystem::path& image, float scale, std::optional<std::string_view> data,
    bool settings = false)
{
    std::optional<std::filesystem::path> data_file;
    if (data)
        data_file = base.write("dados.json", *data);
    return run_capture(base.path(), image, scale, settings, data_file);
}

TEST(CaptureData, ReplacesOnlyTheListsAndTheOpeningItGives)
{
    LauncherConfig loaded;
    loaded.server_name = "Torvane";
    loaded.links = std::vector<LauncherLink>{{"Site", "https://example.invalid"}};
    loaded.news = std::vector<LauncherNews>{{"A", "#fff", "antiga", std::nullopt, "ontem"}};
    loaded.info = std::vector<LauncherInfo>{{"Versão", "Season 6"}};
    loaded.abertura = "2026-12-05T20:00:00-03:00";

    struct Case {
        const char* name;
        std::string bytes;
        bool news_replaced;
        bool links_replaced;
        bool opening_replaced;
    };
    const Case cases[] = {
        {"news only, after two byte-order marks", "\xEF\xBB\xBF\xEF\xBB\xBF{\"News\": [{\"Text\": \"nova\"}]}", true, false, false},
        {"null lists change nothing", R"({"News": null, "Links": null, "Abertura": null})", false, false, false},
        {"links and opening", R"({"Links": [], "Abertura": "2027-01-01T00:00:00-03:00", "ServerName": "X"})", false, true, true},
        {"not JSON", "isto não é JSON", false, false, false},
        {"invalid UTF-8 inside a text", "{\"News\": [{\"Text\": \"a\xFF" "b\"}]}", true, false, false},
        {"empty file", "", false, false, false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        LauncherConfig config = loaded;
        apply_capture_data(config, dir.write("dados.json", c.bytes));
        EXPECT_EQ(config.news != loaded.news, c.news_replaced) << c.name;
        EXPECT_EQ(config.links != loaded.links, c.links_replaced) << c.name;
        EXPECT_EQ(config.abertura != loaded.abertura, c.opening_replaced) << c.name;
        EXPECT_EQ(config.info, loaded.info) << c.name;
        EXPECT_EQ(config.server_name, loaded.server_name) << c.name;
    }
    LauncherConfig config = loaded;
    apply_capture_data(config, "/nonexistent/dados.json");
    EXPECT_EQ(config, loaded);

    TempDir dir;
    config = loaded;
    apply_capture_data(config, dir.write("dados.json", "{\"News\": [{\"Text\": \"a\xFF" "b\"}]}"));
    ASSERT_TRUE(config.news && config.news->size() == 1);
    EXPECT_EQ(config.news->front().text, "a\xEF\xBF\xBD" "b");
}

TEST(Capture, WritesThePictureAtTheScale)
{
    struct Case {
        float scale;
        std::uint32_t width, height;
    };
    const Case cases[] = {{1, 1100, 660}, {1.5f, 1650, 990}};
    for (const Case& c : cases) {
        TempDir base;
        const std::filesystem::path image = base.path() / "main.png";
        ASSERT_EQ(capture(base, image, c.scale, std::nullopt), 0);
        const Pixmap picture = read_png(image);
        EXPECT_EQ(picture.width(), c.width);
        EXPECT_EQ(picture.height(), c.height);
        // Opaque everywhere, as the window shows the frame.
        std::size_t translucent = 0;
        for (std::uint32_t pixel : picture.pixels())
            translucent += pixel >> 24 != 0xFF;
        EXPECT_EQ(translucent, 0u);
        // The built-in configuration was written as the cache, as the window does.
        EXPECT_TRUE(std::filesystem::exists(base.path() / "Data" / "Launcher" / "launcher.json"));
    }
}

TEST(Capture, FailsWhenTheImageCannotBeWrittenOrTheScaleIsUnusable)
{
    TempDir base;
    EXPECT_EQ(capture(base, base.path() / "no-such-folder" / "main.png", 1, std::nullopt), 1);
    for (float scale : {0.0f, -1.0f, NAN, INFINITY, 9.0f})
        EXPECT_EQ(capture(base, base.path() / "main.png", scale, std::nullopt), 1) << scale;
    EXPECT_FALSE(std::filesystem::exists(base.path() / "main.png"));
}

TEST(Capture, DataFileThatIsNotJsonStillCaptures)
{
    TempDir base;
    ASSERT_EQ(capture(base, base.path() / "plain.png", 1, std::nullopt), 0);
    ASSERT_EQ(capture(base, base.path() / "bad.png", 1, std::string_view("<html>não</html>")), 0);
    const Pixmap plain = read_png(base.path() / "plain.png");
    const Pixmap bad = read_png(base.path() / "bad.png");
    // Beside the stage (whose sparks are random) the pictures agree.
    const Difference right = compare(plain, bad, 660, 0, 1100, 660);
    EXPECT_LT(right.differing_share, 0.001);
}

TEST(Capture, NewsOnlyDataKeepsTheLoadedLinksAndRows)
{
    TempDir base;
    ASSERT_EQ(capture(base, base.path() / "plain.png", 1, std::nullopt), 0);
    ASSERT_EQ(capture(base, base.path() / "news.png", 1,
                  std::string_view("\xEF\xBB\xBF{\"News\": [{\"Tag\": \"Aviso\", \"Text\": \"Só uma notícia\"}]}")),
        0);
    const Pixmap plain = read_png(base.path() / "plain.png");
    const Pixmap news = read_png(base.path() / "news.png");
    EXPECT_LT(compare(plain, news, 0, 0, 1100, 58).differing_share, 0.001);  // the same links
    EXPECT_GT(compare(plain, news, 678, 120, 1082, 300).differing_share, 0.05); // other news
    EXPECT_LT(compare(plain, news, 18, 540, 1082, 644).differing_share, 0.001); // the same bottom bar
}

TEST(Capture, SettingsFlagDrawsTheDialogOverTheBlurredMainScreen)
{
    TempDir base;
    ASSERT_EQ(capture(base, base.path() / "main.png", 1, opened_data), 0);
    ASSERT_EQ(capture(base, base.path() / "cfg.png", 1, opened_data, true), 0);
    const Pixmap main = read_png(base.path() / "main.png");
    const Pixmap cfg = read_png(base.path() / "cfg.png");
    // Around the dialog the main screen lies blurred and darkened; the dialog's body is opaque.
    auto brightness = [](const Pixmap& p, std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1) {
        double sum = 0;
        for (std::uint32_t y = y0; y < y1; ++y)
            for (std::uint32_t x = x0; x < x1; ++x)
                sum += ((p.at(x, y) >> 16) & 0xFF) + ((p.at(x, y) >> 8) & 0xFF) + (p.at(x, y) & 0xFF);
        return sum / ((x1 - x0) * (y1 - y0));
    };
    EXPECT_LT(brightness(cfg, 800, 540, 1100, 660), brightness(main, 800, 540, 1100, 660) * 0.5);
    EXPECT_EQ(cfg.at(320, 300) & 0xFFFFFF, 0x0F1614u) << "the body colour";
    // The picture is opaque everywhere, as the window shows it.
    EXPECT_EQ(cfg.at(0, 0) >> 24, 255u);
    EXPECT_EQ(cfg.at(1099, 659) >> 24, 255u);

    ASSERT_EQ(capture(base, base.path() / "cfg2.png", 2, opened_data, true), 0);
    const Pixmap doubled = read_png(base.path() / "cfg2.png");
    ASSERT_EQ(doubled.width(), 2200u);
    EXPECT_EQ(doubled.at(640, 600) & 0xFFFFFF, 0x0F1614u) << "the body at twice the scale";
}

// The pictures kept in tests/fixtures/capture. Set TORVANE_UPDATE_CAPTURE_FIXTURES=1 to write
// them anew after a deliberate change of the screen, and look at them before committing.
TEST(Capture, MatchesTheRegressionPictures)
{
    if (load_fallback_font(fallback_font_paths()))
        GTEST_SKIP() << "an Arial-compatible system font changes the file line of the pictures";
    struct Case {
        const char* file;
        float scale;
        std::string_view data;
        bool settings = false;
    };
    const Case cases[] = {
        {"main.png", 1, opened_data}, {"custom_1.25.png", 1.25f, custom_data}, {"cfg.png", 1, opened_data, true}};
    const std::filesystem::path fixtures = test::source_dir() / "tests" / "fixtures" / "capture";
    const bool update = std::getenv("TORVANE_UPDATE_CAPTURE_FIXTURES") != nullptr;
    for (const Case& c : cases) {
        TempDir base;
        const std::filesystem::path image = update ? fixtures / c.file : base.path() / c.file;
        if (update)
            std::filesystem::create_directories(fixtures);
        ASSERT_EQ(capture(base, image, c.scale, c.data, c.settings), 0) << c.file;
        if (update)
            continue;
        const Pixmap expected = read_png(fixtures / c.file);
        const Pixmap actual = read_png(image);
        ASSERT_EQ(actual.width(), expected.width()) << c.file;
        ASSERT_EQ(actual.height(), expected.height()) << c.file;
        // The sparks start at random places and the clock runs on while the picture is made, so a
        // few pixels may differ; a moved, missing or recoloured element differs in many.
        const Difference difference = compare_whole(expected, actual);
        EXPECT_LT(difference.differing_share, 0.004) << c.file;
        EXPECT_LT(difference.mean, 1.0) << c.file;
    }
}

} // namespace
} // namespace torvane
