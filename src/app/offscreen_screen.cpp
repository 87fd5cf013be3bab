#include "app/offscreen_screen.hpp"

#include "ui/layout.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace torvane {

bool usable_offscreen_scale(float scale) { return std::isfinite(scale) && scale > 0 && scale <= max_offscreen_scale; }

void report_unusable_scale(float scale)
{
    std::fprintf(stderr, "torvane: escala inválida: %s (use um número maior que 0 e até %s)\n",
        shortest_float_text(scale).c_str(), shortest_float_text(max_offscreen_scale).c_str());
}

Pixmap presented_picture(const Pixmap& frame)
{
    Pixmap picture = frame.clone();
    for (std::uint32_t& pixel : picture.pixels())
        pixel |= 0xFF000000u;
    return picture;
}

void show_configured_screen(UiState& state, const LauncherConfig& config)
{
    set_links_and_news(state, config.links.value_or(std::vector<LauncherLink>{}),
        config.news.value_or(std::vector<LauncherNews>{}), config.info.value_or(std::vector<LauncherInfo>{}),
        config.abertura);
    if (!state.server_online)
        state.online_since = state.clock;
    state.server_online = true;
    state.server_known = true;
    state.status_text = "ONLINE";
    rebuild_ui_model(state);
}

std::string shortest_float_text(float value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc{})
        return std::to_string(value);
    return std::string(buffer, result.ptr);
}

} // namespace torvane
