// Placeholder until the settings dialog lands.
#include "ui/settings_dialog.hpp"

namespace torvane {

void open_settings(UiState&, const std::filesystem::path&, bool) {}
void save_settings(UiState&, const std::filesystem::path&, const GameSettings&) {}
void close_settings_dialog(UiState& ui) { ui.screen_mode = screen_main; }
HitRegion settings_hit_test(const UiState&, float, float) { return HitRegion{.id = hit_id::dialog_outside}; }
HitRegion settings_press(UiState&, float, float) { return HitRegion{}; }
std::optional<UiAction> settings_release(UiState&, const HitRegion&, float, float) { return std::nullopt; }
void settings_escape(UiState& ui) { ui.screen_mode = screen_main; }
void settings_wheel(UiState&, std::int32_t) {}
void mark_settings_dirty(UiState& ui) { ui.settings.settings_dirty = true; }
bool settings_dialog_animating(const UiState&) { return false; }

} // namespace torvane
