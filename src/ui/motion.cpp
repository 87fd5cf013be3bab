#include "ui/motion.hpp"

#include <algorithm>
#include <cmath>

namespace torvane {

namespace {

float bezier_coordinate(float c1, float c2, float u)
{
    float v = 1 - u;
    return 3 * v * v * u * c1 + 3 * v * u * u * c2 + u * u * u;
}

// The first matching element in list order; (0, 0) for none.
std::pair<std::int32_t, std::int32_t> first_hit(std::span<const HitRegion> hits, float x, float y)
{
    for (const HitRegion& hit : hits) {
        if (hit.contains(x, y))
            return {hit.id, hit.data};
    }
    return {hit_id::none, 0};
}

// The topmost element (the last in the list); id 9 outside every element.
std::pair<std::int32_t, std::int32_t> last_hit(std::span<const HitRegion> hits, float x, float y)
{
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
        if (it->contains(x, y))
            return {it->id, it->data};
    }
    return {hit_id::dialog_outside, 0};
}

} // namespace

float cubic_bezier(const BezierCurve& curve, float p)
{
    if (!(p > 0))
        return 0;
    if (p >= 1)
        return 1;
    float lower = 0;
    float upper = 1;
    float u = p;
    for (int step = 0; step < 30; ++step) {
        float x = bezier_coordinate(curve.x1, curve.x2, u);
        if (std::fabs(x - p) < 1e-5f)
            break;
        if (x < p)
            lower = u;
        else
            upper = u;
        u = (lower + upper) * 0.5f;
    }
    return bezier_coordinate(curve.y1, curve.y2, u);
}

namespace {

float tween_progress(const Tween& tween, float now)
{
    float p = (now - tween.start) / tween.duration;
    // A zero duration (or a clock far past the start) means finished.
    if (std::isnan(p))
        return now >= tween.start ? 1.0f : 0.0f;
    return std::clamp(p, 0.0f, 1.0f);
}

} // namespace

float tween_value(const Tween& tween, float now)
{
    return tween.from + (tween.to - tween.from) * cubic_bezier(ease_curve, tween_progress(tween, now));
}

bool tween_running(const Tween& tween, float now) { return tween.duration > now - tween.start; }

Tween settled_tween(float value, float duration) { return Tween{value, value, -100.0f, duration}; }

void retarget_tween(Tween& tween, float target, float now)
{
    if (std::fabs(target - tween.to) < 1e-6f)
        return;
    tween.from = tween_value(tween, now);
    tween.to = target;
    tween.start = now;
}

std::int32_t volume_from_slider_x(float x)
{
    float value = std::round((x - 477.0f - 7.5f) / 223.0f * 10.0f);
    if (std::isnan(value))
        return 0;
    return static_cast<std::int32_t>(std::clamp(value, 0.0f, 10.0f));
}

std::int32_t on_mouse_move(UiState& state, float x, float y)
{
    state.pointer_x = x;
    state.pointer_y = y;
    SettingsModel& settings = state.settings;
    bool dialog_open = state.screen_mode != screen_main;
    if (dialog_open && settings.slider_dragging) {
        std::int32_t volume = volume_from_slider_x(x);
        if (volume != settings.volume) {
            settings.volume = volume;
            settings.settings_dirty = true;
        }
        return state.hover_id;
    }
    auto [id, data] = dialog_open ? last_hit(state.dialog_hits, x, y) : first_hit(state.main_hits, x, y);
    if (same_hover_target(id, data, state.hover_id, state.hover_data))
        return state.hover_id;
    state.hover_id = id;
    state.hover_data = data;
    if (dialog_open) {
        settings.settings_dirty = true;
        if (id == hit_id::dialog_list_option)
            settings.hovered_option = data;
        else
            settings.hovered_option.reset();
    }
    return id;
}

float next_uniform(std::uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<float>(state >> 40) * (1.0f / 16777216.0f);
}

void init_sparks(UiState& state, std::uint64_t seed)
{
    // A zero state would stay zero for ever.
    state.spark_random = seed != 0 ? seed : 0x9E3779B97F4A7C15ull;
    std::uint64_t& random = state.spark_random;
    for (int i = 0; i < spark_count; ++i) {
        Spark& spark = state.sparks[i];
        spark = Spark{};
        spark.color_variant = static_cast<std::uint8_t>(i % 3);
        spark.x = 110 + 440 * next_uniform(random);
        spark.y = 60 + 470 * next_uniform(random);
        spark.speed = 16 + 34 * next_uniform(random);
        spark.amplitude = 22 * (next_uniform(random) - 0.5f);
        spark.phase = 6.28f * next_uniform(random);
        spark.lifetime = 3 + 4 * next_uniform(random);
        spark.size = 1.5f + 2.6f * next_uniform(random);
        spark.drawn_x = spark.x;
        spark.drawn_y = spark.y;
    }
}

void update_sparks(UiState& state, float dt)
{
    for (Spark& spark : state.sparks) {
        spark.age += dt;
        spark.y -= spark.speed * dt;
        spark.phase += 1.6f * dt;
        float f = spark.age / spark.lifetime;
        if (f >= 1) {
            std::uint64_t random = state.spark_random;
            spark.x = 110 + 440 * next_uniform(random);
            spark.y = 470 + 60 * next_uniform(random);
            spark.speed = 16 + 34 * next_uniform(random);
            spark.amplitude = 22 * (next_uniform(random) - 0.5f);
            spark.phase = 6.28f * next_uniform(random);
            spark.age = 0;
            spark.lifetime = 3 + 4 * next_uniform(random);
            state.spark_random = random;
            continue;
        }
        float fade = 1;
        if (f < 0.15f)
            fade = f / 0.15f;
        else if (f > 0.7f)
            fade = (1 - f) / 0.3f;
        spark.opacity = 0.9f * fade;
        spark.drawn_x = spark.x + spark.amplitude * std::sin(spark.phase);
        spark.drawn_y = spark.y;
    }
}

} // namespace torvane
