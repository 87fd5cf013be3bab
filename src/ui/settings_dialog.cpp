#include "ui/settings_dialog.hpp"

#include "platform/result.hpp"
#include "ui/layout.hpp"
#include "ui/motion.hpp"
#include "ui/settings_overlay.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace torvane {

namespace {

const std::vector<OptionChoice>& field_options(const SettingsModel& settings, std::int32_t field)
{
    if (field < 0 || field >= settings_field_count)
        fatal("campo de configuração inválido");
    return settings.options[static_cast<std::size_t>(field)];
}

// The rows an open list of the field shows.
std::int32_t visible_rows(const SettingsModel& settings, std::int32_t field)
{
    const auto count = static_cast<std::int32_t>(field_options(settings, field).size());
    return drop_down_geometry(settings_field_top(settings.message.has_value(), field), count).rows;
}

// Closes the open list; its regions leave the hit list at once, so the pointer finds the
// dialog's elements again before the next frame is drawn.
void close_list(UiState& ui)
{
    ui.screen_mode = screen_settings;
    ui.settings.open_field.reset();
    ui.settings.hovered_option.reset();
    if (ui.dialog_hits.size() > settings_dialog_region_count)
        ui.dialog_hits.resize(settings_dialog_region_count);
    ui.settings.settings_dirty = true;
    if (ui.pointer_x >= 0) {
        ui.hover_id = hit_id::none;
        ui.hover_data = 0;
        on_mouse_move(ui, ui.pointer_x, ui.pointer_y);
    }
}

void open_list(UiState& ui, std::int32_t field)
{
    SettingsModel& settings = ui.settings;
    const auto count = static_cast<std::int32_t>(field_options(settings, field).size());
    const std::int32_t rows = visible_rows(settings, field);
    const std::int32_t selected = settings.selected[static_cast<std::size_t>(field)];
    settings.settings_dirty = true;
    ui.screen_mode = screen_settings_list;
    settings.open_field = field;
    settings.hovered_option.reset();
    settings.first_visible_row = std::max(0, std::min(std::max(0, selected - rows / 2), std::max(0, count - rows)));
}

void flip_switch(UiState& ui, bool& on, Tween& knob)
{
    on = !on;
    retarget_tween(knob, on ? 1.0f : 0.0f, ui.clock);
    ui.settings.settings_dirty = true;
}

// The selected option's value of a field, when the selection is in range.
const std::string* selected_value(const SettingsModel& settings, std::int32_t field)
{
    const std::vector<OptionChoice>& options = field_options(settings, field);
    const std::int32_t index = settings.selected[static_cast<std::size_t>(field)];
    if (index < 0 || static_cast<std::size_t>(index) >= options.size())
        return nullptr;
    return &options[static_cast<std::size_t>(index)].value;
}

// A decimal number filling the whole text; the fallback otherwise.
template <typename Number>
Number parse_or(const std::string* text, Number fallback)
{
    if (!text)
        return fallback;
    Number value{};
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    return error == std::errc{} && stop == end && !text->empty() ? value : fallback;
}

GameSettings edited_settings(const SettingsModel& settings)
{
    GameSettings edited;
    edited.window_mode = parse_or<std::int32_t>(selected_value(settings, 0), 1);
    edited.resolution = parse_or<std::int32_t>(selected_value(settings, 1), 1);
    edited.fps_index = parse_or<std::uint32_t>(selected_value(settings, 2), 5);
    edited.render_state = parse_or<std::uint32_t>(selected_value(settings, 3), 0);
    const std::string* language = selected_value(settings, 4);
    edited.language = language ? *language : std::string();
    edited.volume = settings.volume;
    edited.sound_on = settings.sound_on;
    edited.music_on = settings.music_on;
    return edited;
}

bool dialog_open(const UiState& ui) { return ui.screen_mode != screen_main; }

} // namespace

void open_settings(UiState& ui, const std::filesystem::path& game_folder, bool managed_update)
{
    const GameSettings current = load_game_settings(game_folder);
    SettingsPanelModel model;
    model.window_modes = option_list(window_mode_options);
    model.resolutions = resolution_choices(game_folder);
    model.fps_limits = option_list(fps_limit_options);
    model.renderers = option_list(renderer_options);
    model.languages = language_choices(game_folder, managed_update);
    model.window_mode = std::to_string(current.window_mode);
    model.resolution = std::to_string(current.resolution);
    model.fps_index = std::to_string(current.fps_index);
    model.render_state = std::to_string(current.render_state);
    model.language = current.language;
    model.volume = current.volume;
    model.sound_on = current.sound_on;
    model.music_on = current.music_on;
    open_settings_overlay(ui, std::move(model));
}

void save_settings(UiState& ui, const std::filesystem::path& game_folder, const GameSettings& edited)
{
    GameSettings merged = load_game_settings(game_folder);
    if (edited.window_mode >= 0 && edited.window_mode <= 2)
        merged.window_mode = edited.window_mode;
    merged.resolution = edited.resolution;
    merged.fps_index = std::min<std::uint32_t>(edited.fps_index, 6);
    merged.render_state = edited.render_state != 0 ? 1 : 0;
    merged.sound_on = edited.sound_on;
    merged.music_on = edited.music_on;
    merged.volume = std::clamp(edited.volume, 0, 10);
    if (edited.language == "Por" || edited.language == "Eng" || edited.language == "Spn")
        merged.language = edited.language;

    if (Status saved = save_game_settings(game_folder, merged); !saved) {
        if (dialog_open(ui)) {
            ui.settings.saving = false;
            ui.settings.message = "Não foi possível salvar as configurações: " + saved.error();
            ui.settings.settings_dirty = true;
        }
        return;
    }
    if (dialog_open(ui))
        close_settings_dialog(ui);
    ui.windowed_on = merged.window_mode == 1;
    retarget_tween(ui.window_mode_tween, ui.windowed_on ? 1.0f : 0.0f, ui.clock);
    ui.main_dirty = true;
    ui.redraw_all = true;
    ui.texts_dirty = true;
}

void close_settings_dialog(UiState& ui)
{
    ui.settings = SettingsModel{};
    ui.dialog_hits.clear();
    ui.screen_mode = screen_main;
    ui.hover_id = hit_id::none;
    ui.hover_data = 0;
    if (ui.pointer_x >= 0)
        on_mouse_move(ui, ui.pointer_x, ui.pointer_y);
    ui.redraw_all = true;
    ui.main_dirty = true;
}

HitRegion settings_hit_test(const UiState& ui, float x, float y)
{
    for (auto it = ui.dialog_hits.rbegin(); it != ui.dialog_hits.rend(); ++it)
        if (it->contains(x, y))
            return *it;
    return HitRegion{0, 0, 0, 0, hit_id::dialog_outside, 0};
}

HitRegion settings_press(UiState& ui, float x, float y)
{
    const HitRegion hit = settings_hit_test(ui, x, y);
    if (!dialog_open(ui))
        return hit;
    SettingsModel& settings = ui.settings;
    settings.settings_dirty = true;
    if (ui.screen_mode == screen_settings_list) {
        if (hit.id == hit_id::dialog_list_option) {
            if (!settings.open_field || *settings.open_field < 0 || *settings.open_field >= settings_field_count)
                fatal("lista aberta inválida");
            settings.selected[static_cast<std::size_t>(*settings.open_field)] = hit.data;
        }
        close_list(ui);
        return hit;
    }
    if (hit.id == hit_id::dialog_outside) {
        close_settings_dialog(ui);
    } else if (hit.id == hit_id::dialog_volume) {
        settings.volume = volume_from_slider_x(x);
        settings.slider_dragging = true;
    }
    return hit;
}

std::optional<UiAction> settings_release(UiState& ui, const HitRegion& pressed, float x, float y)
{
    if (!dialog_open(ui))
        return std::nullopt;
    SettingsModel& settings = ui.settings;
    if (settings.slider_dragging) {
        settings.slider_dragging = false;
        settings.settings_dirty = true;
        return std::nullopt;
    }
    const HitRegion hit = settings_hit_test(ui, x, y);
    if (hit.id != pressed.id)
        return std::nullopt;
    const bool same_data = hit.data == pressed.data;
    switch (hit.id) {
    case hit_id::dialog_close:
    case hit_id::dialog_cancel:
        close_settings_dialog(ui);
        break;
    case hit_id::dialog_list_header:
        if (same_data)
            open_list(ui, hit.data);
        break;
    case hit_id::dialog_sound:
        flip_switch(ui, settings.sound_on, ui.sound_tween);
        break;
    case hit_id::dialog_music:
        flip_switch(ui, settings.music_on, ui.music_tween);
        break;
    case hit_id::dialog_save:
        if (settings.saving)
            break;
        settings.saving = true;
        settings.settings_dirty = true;
        return UiAction{ui_action::SaveSettings{edited_settings(settings)}};
    case hit_id::link:
    case hit_id::news:
    case hit_id::dialog_list_option:
        if (same_data)
            settings.settings_dirty = true;
        break;
    default:
        settings.settings_dirty = true;
        break;
    }
    return std::nullopt;
}

void settings_escape(UiState& ui)
{
    if (ui.screen_mode == screen_settings_list)
        close_list(ui);
    else if (ui.screen_mode == screen_settings)
        close_settings_dialog(ui);
}

void settings_wheel(UiState& ui, std::int32_t delta)
{
    if (ui.screen_mode != screen_settings_list || !ui.settings.open_field)
        return;
    SettingsModel& settings = ui.settings;
    const std::int32_t field = *settings.open_field;
    const auto count = static_cast<std::int32_t>(field_options(settings, field).size());
    const std::int32_t rows = visible_rows(settings, field);
    if (delta > 0)
        settings.first_visible_row = std::max(0, settings.first_visible_row - 3);
    else
        settings.first_visible_row = std::max(0, std::min(settings.first_visible_row + 3, count - rows));
    settings.settings_dirty = true;
}

void mark_settings_dirty(UiState& ui)
{
    if (dialog_open(ui))
        ui.settings.settings_dirty = true;
}

bool settings_dialog_animating(const UiState& ui)
{
    if (!dialog_open(ui))
        return false;
    const SettingsModel& settings = ui.settings;
    return ui.clock - settings.opened_at < 0.3f || !settings.rest_drawn || settings.settings_dirty || ui.redraw_all
        || !settings.dialog_pixmap || tween_running(ui.sound_tween, ui.clock) || tween_running(ui.music_tween, ui.clock);
}

} // namespace torvane
