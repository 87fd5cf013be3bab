#include "render/path.hpp"

#include <algorithm>
#include <cmath>

namespace torvane {

Transform Transform::after(const Transform& first) const
{
    return Transform{
        sx * first.sx + kx * first.ky,
        ky * first.sx + sy * first.ky,
        sx * first.kx + kx * first.sy,
        ky * first.kx + sy * first.sy,
        sx * first.tx + kx * first.ty + tx,
        ky * first.tx + sy * first.ty + ty,
    };
}

float Transform::mean_scale() const
{
    float determinant = std::fabs(sx * sy - kx * ky);
    return std::sqrt(determinant);
}

std::optional<Path> Path::transformed(const Transform& transform) const
{
    PathBuilder builder;
    builder.verbs_ = verbs_;
    builder.points_.reserve(points_.size());
    for (PathPoint p : points_)
        builder.points_.push_back(transform.map(p));
    return builder.finish();
}

void PathBuilder::start_segment()
{
    if (!move_required_)
        return;
    PathPoint start = points_.empty() ? PathPoint{} : points_[contour_start_];
    move_to(start.x, start.y);
}

void PathBuilder::move_to(float x, float y)
{
    if (!verbs_.empty() && verbs_.back() == PathVerb::Move) {
        points_.back() = {x, y};
    } else {
        contour_start_ = points_.size();
        verbs_.push_back(PathVerb::Move);
        points_.push_back({x, y});
    }
    move_required_ = false;
}

void PathBuilder::line_to(float x, float y)
{
    start_segment();
    verbs_.push_back(PathVerb::Line);
    points_.push_back({x, y});
}

void PathBuilder::quad_to(float x1, float y1, float x, float y)
{
    start_segment();
    verbs_.push_back(PathVerb::Quad);
    points_.push_back({x1, y1});
    points_.push_back({x, y});
}

void PathBuilder::cubic_to(float x1, float y1, float x2, float y2, float x, float y)
{
    start_segment();
    verbs_.push_back(PathVerb::Cubic);
    points_.push_back({x1, y1});
    points_.push_back({x2, y2});
    points_.push_back({x, y});
}

void PathBuilder::close()
{
    if (!verbs_.empty() && verbs_.back() != PathVerb::Close)
        verbs_.push_back(PathVerb::Close);
    move_required_ = true;
}

void PathBuilder::push_path(const Path& path)
{
    std::size_t base = points_.size();
    verbs_.insert(verbs_.end(), path.verbs_.begin(), path.verbs_.end());
    points_.insert(points_.end(), path.points_.begin(), path.points_.end());
    // Track the last contour's start so that later segments behave as after any other contour.
    std::size_t index = 0;
    for (PathVerb verb : path.verbs_) {
        if (verb == PathVerb::Move)
            contour_start_ = base + index;
        index += verb == PathVerb::Move || verb == PathVerb::Line ? 1 : verb == PathVerb::Quad ? 2 : verb == PathVerb::Cubic ? 3 : 0;
    }
    if (!path.verbs_.empty())
        move_required_ = path.verbs_.back() == PathVerb::Close;
}

std::optional<PathVerb> PathBuilder::last_verb() const
{
    if (verbs_.empty())
        return std::nullopt;
    return verbs_.back();
}

PathPoint PathBuilder::last_point() const { return points_.empty() ? PathPoint{} : points_.back(); }

std::optional<Path> PathBuilder::finish()
{
    std::vector<PathVerb> verbs = std::move(verbs_);
    std::vector<PathPoint> points = std::move(points_);
    verbs_.clear();
    points_.clear();
    contour_start_ = 0;
    move_required_ = true;
    if (verbs.size() < 2 || points.empty())
        return std::nullopt;
    PathBounds bounds{points[0].x, points[0].y, points[0].x, points[0].y};
    for (PathPoint p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return std::nullopt;
        bounds.left = std::min(bounds.left, p.x);
        bounds.top = std::min(bounds.top, p.y);
        bounds.right = std::max(bounds.right, p.x);
        bounds.bottom = std::max(bounds.bottom, p.y);
    }
    if (!std::isfinite(bounds.right - bounds.left) || !std::isfinite(bounds.bottom - bounds.top))
        return std::nullopt;
    Path path;
    path.verbs_ = std::move(verbs);
    path.points_ = std::move(points);
    path.bounds_ = bounds;
    return path;
}

} // namespace torvane
