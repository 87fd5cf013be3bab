// Vector paths in float coordinates (x to the right, y downwards), built with PathBuilder and
// drawn by the canvas operations. A Path that exists has at least two verbs and finite bounds.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace torvane {

enum class PathVerb : std::uint8_t { Move, Line, Quad, Cubic, Close };

struct PathPoint {
    float x = 0;
    float y = 0;
    friend bool operator==(const PathPoint&, const PathPoint&) = default;
};

struct PathBounds {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
};

// An affine transform mapping (x, y) to (sx x + kx y + tx, ky x + sy y + ty).
struct Transform {
    float sx = 1;
    float ky = 0;
    float kx = 0;
    float sy = 1;
    float tx = 0;
    float ty = 0;

    static constexpr Transform identity() { return {}; }
    static constexpr Transform scale(float x, float y) { return {x, 0, 0, y, 0, 0}; }
    static constexpr Transform translate(float x, float y) { return {1, 0, 0, 1, x, y}; }

    // The transform that applies `first`, then this one.
    Transform after(const Transform& first) const;
    PathPoint map(PathPoint p) const { return {sx * p.x + kx * p.y + tx, ky * p.x + sy * p.y + ty}; }
    // The factor by which lengths grow on average (for choosing flattening tolerances).
    float mean_scale() const;
};

class Path {
public:
    std::span<const PathVerb> verbs() const { return verbs_; }
    // The points of all verbs in order: Move and Line one, Quad two, Cubic three, Close none.
    std::span<const PathPoint> points() const { return points_; }
    PathBounds bounds() const { return bounds_; }

    // The same path with every point mapped; none when the result has non-finite points.
    std::optional<Path> transformed(const Transform& transform) const;

private:
    friend class PathBuilder;
    Path() = default;

    std::vector<PathVerb> verbs_;
    std::vector<PathPoint> points_;
    PathBounds bounds_;
};

// Collects contours. A segment with no open contour first moves to the start of the last
// contour (the origin when there is none), so a segment after a close starts a new contour
// there; a move right after another move replaces it.
class PathBuilder {
public:
    void move_to(float x, float y);
    void line_to(float x, float y);
    void quad_to(float x1, float y1, float x, float y);
    void cubic_to(float x1, float y1, float x2, float y2, float x, float y);
    // Closes the current contour; no second close verb follows a close.
    void close();
    // Appends the verbs and points of a path as they are.
    void push_path(const Path& path);

    std::optional<PathVerb> last_verb() const;
    // The end point of the last verb ((0, 0) when empty).
    PathPoint last_point() const;
    std::size_t verb_count() const { return verbs_.size(); }
    bool empty() const { return verbs_.empty(); }

    // The finished path; none when it has fewer than two verbs or its bounds are not finite.
    // The builder is left empty.
    std::optional<Path> finish();

private:
    friend class Path;
    void start_segment();

    std::vector<PathVerb> verbs_;
    std::vector<PathPoint> points_;
    std::size_t contour_start_ = 0; // index into points_ of the last move
    bool move_required_ = true;
};

} // namespace torvane
