// --captura: one picture of the main screen in a fixed state (files being verified) as a PNG file.
#include "app/capture_mode.hpp"

#include "app/modes.hpp"
#include "app/offscreen_screen.hpp"
#include "core/config_json.hpp"
#include "core/launcher_config_cache.hpp"
#include "core/utf8.hpp"
#include "platform/files.hpp"
#include "render/images.hpp"
#include "ui/frame.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"
#include "ui/settings_overlay.hpp"

#include <cstdio>

namespace torvane {

void apply_capture_data(LauncherConfig& config, const std::filesystem::path& data_file)
{
    Result<std::string> bytes = platform::read_file(data_file, platform::document_read_limit);
    if (!bytes)
        return;
    std::string text = utf8_lossy(*bytes);
    constexpr std::string_view byte_order_mark = "\xEF\xBB\xBF";
    std::size_t start = 0;
    while (std::string_view(text).substr(start).starts_with(byte_order_mark))
        start += byte_order_mark.size();
    Result<LauncherConfig> document = parse_launcher_config_text(std::string_view(text).substr(start));
    if (!document)
        return;
    if (document->links)
        config.links = std::move(document->links);
    if (document->news)
        config.news = std::move(document->news);
    if (document->info)
        config.info = std::move(document->info);
    if (document->abertura)
        config.abertura = std::move(document->abertura);
}

int run_capture(const fs::path& base_dir, const fs::path& image, float scale, bool settings,
    const std::optional<fs::path>& data_file)
{
    if (!usable_offscreen_scale(scale)) {
        report_unusable_scale(scale);
        return 1;
    }
    LauncherConfig config = load_launcher_config(base_dir);
    if (data_file)
        apply_capture_data(config, *data_file);
    UiState ui = build_ui_state(scale, base_dir);
    // Every render of the picture shows one moment: no countdown digit caught mid-flip, and the
    // same picture however long the renders take.
    freeze_clocks(ui);
    show_configured_screen(ui, config);

    ui.windowed_on = true;
    retarget_tween(ui.window_mode_tween, 1.0f, ui.clock);
    ui.texts_dirty = true;
    set_status(ui, {.label = "Verificando arquivos...", .thin_bar_percent = 51, .main_bar_percent = 92,
                       .detail = "Data/Local/Por/Text_Por.bmd", .rate = ""});
    ui.play_enabled = true;
    ui.play_label = "tudo pronto";
    ui.texts_dirty = true;
    advance_clock(ui, 3.0f);
    if (settings) {
        open_settings_overlay(ui, capture_settings_model());
        advance_clock(ui, 1.0f);
    }

    const std::vector<std::uint8_t> png = encode_png(presented_picture(ui.frame_canvas));
    stop_background_worker(ui);
    drop_ui_state(ui);
    if (png.empty())
        return 1;
    const std::string_view bytes(reinterpret_cast<const char*>(png.data()), png.size());
    return platform::write_file(image, bytes) ? 0 : 1;
}

} // namespace torvane
