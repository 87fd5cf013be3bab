// The small moving parts of the UI thread: cubic-Bézier timing curves, eased tweens, the hover
// hit-test with the volume slider drag, and the sparks rising over the main screen's stage.
#pragma once

#include "ui/ui_state.hpp"
#include "ui/ui_state_types.hpp"

#include <cstdint>
#include <span>

namespace torvane {

// A cubic-Bézier timing curve from (0, 0) to (1, 1) with control points (x1, y1) and (x2, y2).
struct BezierCurve {
    float x1;
    float y1;
    float x2;
    float y2;
};

// The curves the screens ease with.
inline constexpr BezierCurve ease_curve{0.25f, 0.1f, 0.25f, 1.0f};
inline constexpr BezierCurve ease_in_out_curve{0.42f, 0.0f, 0.58f, 1.0f};
inline constexpr BezierCurve ease_out_curve{0.0f, 0.0f, 0.58f, 1.0f};
inline constexpr BezierCurve overshoot_curve{0.2f, 0.9f, 0.3f, 1.1f};
inline constexpr BezierCurve strong_overshoot_curve{0.2f, 0.9f, 0.3f, 1.15f};

// The curve's value at progress p: 0 for p <= 0 (and NaN), 1 for p >= 1, otherwise y(u) where
// x(u) = p is solved by bisection from the guess u = p (at most 30 halvings, stopping within 1e-5).
float cubic_bezier(const BezierCurve& curve, float p);

// The value of the tween at the clock time.
float tween_value(const Tween& tween, float now);
// Whether it is still moving: its duration is greater than the time since its start.
bool tween_running(const Tween& tween, float now);
// A tween resting at the value (from = to = value, long finished).
Tween settled_tween(float value, float duration);
// Heads the tween for a new target from the value it shows now; a target within 1e-6 of the
// current one changes nothing.
void retarget_tween(Tween& tween, float target, float now);

// The volume (0..10) for a pointer at x over the dialog's slider.
std::int32_t volume_from_slider_x(float x);

// Hit-tests the pointer, stores it and the hovered element; while the dialog's slider is being
// dragged only the volume follows the pointer. Returns the hovered element's id.
std::int32_t on_mouse_move(UiState& state, float x, float y);

// One xorshift step of the spark generator; a uniform number in [0, 1) from the new state's top
// 24 bits.
float next_uniform(std::uint64_t& state);

// The 22 sparks spread over the whole stage, from a seeded generator.
void init_sparks(UiState& state, std::uint64_t seed);
// Moves the sparks by dt seconds, respawning those whose lifetime has run out.
void update_sparks(UiState& state, float dt);

} // namespace torvane
