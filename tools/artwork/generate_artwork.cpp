// Draws the launcher's own artwork procedurally and writes it into a folder:
//   hero-torvane.webp   the backdrop: a dusk valley of mountains, forests, mist and light rays
//   logo-torvane.png    the "TORVANE" wordmark in gilded capitals, transparent around it
//   crest-torvane.png   the round emblem, transparent around it
//   window-icon-N.png   the window icon at 16, 24, 32, 48, 64, 128 and 256 pixels
// Everything comes from a fixed seed, so running it again gives the same pictures.
#include <cairo.h>
#include <webp/encode.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

// A small deterministic generator (xorshift64*), the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    double next()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<double>((state_ * 0x2545F4914F6CDD1Dull) >> 11) / 9007199254740992.0;
    }
    double between(double low, double high) { return low + (high - low) * next(); }

private:
    std::uint64_t state_;
};

struct Rgb {
    double r, g, b;
};

Rgb hex(std::uint32_t value) { return {((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0}; }

Rgb blend(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

void set_colour(cairo_t* cr, Rgb c, double alpha = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha); }

void stop(cairo_pattern_t* p, double offset, Rgb c, double alpha = 1) { cairo_pattern_add_color_stop_rgba(p, offset, c.r, c.g, c.b, alpha); }

cairo_surface_t* new_surface(int w, int h, cairo_format_t format = CAIRO_FORMAT_ARGB32)
{
    return cairo_image_surface_create(format, w, h);
}

// Blurs an ARGB32 surface in place with three box passes per axis (close to a Gaussian).
void blur_surface(cairo_surface_t* surface, int radius)
{
    if (radius < 1)
        return;
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<int> line;
    auto pass = [&](unsigned char* first, int count, int step) {
        line.assign(static_cast<std::size_t>(count) * 4, 0);
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < 4; ++c)
                line[static_cast<std::size_t>(i) * 4 + c] = first[static_cast<std::ptrdiff_t>(i) * step + c];
        for (int c = 0; c < 4; ++c) {
            int sum = 0;
            for (int k = -radius; k <= radius; ++k)
                sum += line[static_cast<std::size_t>(std::clamp(k, 0, count - 1)) * 4 + c];
            for (int i = 0; i < count; ++i) {
                first[static_cast<std::ptrdiff_t>(i) * step + c] = static_cast<unsigned char>(sum / (2 * radius + 1));
                sum += line[static_cast<std::size_t>(std::min(i + radius + 1, count - 1)) * 4 + c];
                sum -= line[static_cast<std::size_t>(std::max(i - radius, 0)) * 4 + c];
            }
        }
    };
    for (int round = 0; round < 3; ++round) {
        for (int y = 0; y < h; ++y)
            pass(data + static_cast<std::ptrdiff_t>(y) * stride, w, 4);
        for (int x = 0; x < w; ++x)
            pass(data + static_cast<std::ptrdiff_t>(x) * 4, h, stride);
    }
    cairo_surface_mark_dirty(surface);
}

// Paints a drawing made at 1/factor of the size, blurred by blur_radius small pixels and
// enlarged smoothly: soft light, mist and shadows at little cost.
void paint_soft(cairo_t* target, int w, int h, int factor, const std::function<void(cairo_t*)>& draw, double alpha = 1,
    int blur_radius = 2)
{
    int sw = std::max(1, w / factor), sh = std::max(1, h / factor);
    cairo_surface_t* small = new_surface(sw, sh);
    cairo_t* cr = cairo_create(small);
    cairo_scale(cr, 1.0 / factor, 1.0 / factor);
    draw(cr);
    cairo_destroy(cr);
    blur_surface(small, blur_radius);
    cairo_save(target);
    cairo_scale(target, factor, factor);
    cairo_set_source_surface(target, small, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(target), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(target), CAIRO_EXTEND_PAD);
    cairo_paint_with_alpha(target, alpha);
    cairo_restore(target);
    cairo_surface_destroy(small);
}

bool write_png(cairo_surface_t* surface, const std::string& path)
{
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s\n", path.c_str());
    return true;
}

bool write_webp(cairo_surface_t* surface, const std::string& path, float quality)
{
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface);
    int h = cairo_image_surface_get_height(surface);
    // The backdrop is opaque, so its premultiplied bytes are its straight bytes (B, G, R, A).
    std::uint8_t* out = nullptr;
    std::size_t size = WebPEncodeBGRA(cairo_image_surface_get_data(surface), w, h, cairo_image_surface_get_stride(surface),
        quality, &out);
    if (size == 0) {
        std::fprintf(stderr, "cannot encode %s\n", path.c_str());
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(out, 1, size, file) == size;
    if (file)
        ok = std::fclose(file) == 0 && ok;
    WebPFree(out);
    if (!ok) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%zu bytes)\n", path.c_str(), size);
    return true;
}

// --- the backdrop ---------------------------------------------------------------------------

// A mountain ridge by midpoint displacement: heights (pixels from the top) at n + 1 even steps.
std::vector<double> ridge(Random& random, int n, double base, double amplitude, double roughness)
{
    std::vector<double> h(static_cast<std::size_t>(n) + 1, base);
    h.front() = base + random.between(-amplitude, amplitude) * 0.5;
    h.back() = base + random.between(-amplitude, amplitude) * 0.5;
    double spread = amplitude;
    for (int step = n; step > 1; step /= 2) {
        for (int i = 0; i + step <= n; i += step) {
            int mid = i + step / 2;
            h[static_cast<std::size_t>(mid)] = (h[static_cast<std::size_t>(i)] + h[static_cast<std::size_t>(i + step)]) / 2
                + random.between(-spread, spread);
        }
        spread *= roughness;
    }
    return h;
}

// Adds peaks: raised bumps that give the ridge a few clear summits.
void add_peak(std::vector<double>& h, double width_px, double at_x, double half_width, double height)
{
    int n = static_cast<int>(h.size()) - 1;
    for (int i = 0; i <= n; ++i) {
        double x = width_px * i / n;
        double d = std::fabs(x - at_x) / half_width;
        if (d < 1)
            h[static_cast<std::size_t>(i)] -= height * std::pow(1 - d, 1.35) * (1 + 0.12 * std::sin(x * 0.045) + 0.06 * std::sin(x * 0.21));
    }
}

void ridge_path(cairo_t* cr, const std::vector<double>& h, double w, double bottom)
{
    int n = static_cast<int>(h.size()) - 1;
    cairo_move_to(cr, 0, bottom);
    for (int i = 0; i <= n; ++i)
        cairo_line_to(cr, w * i / n, h[static_cast<std::size_t>(i)]);
    cairo_line_to(cr, w, bottom);
    cairo_close_path(cr);
}

double ridge_at(const std::vector<double>& h, double w, double x)
{
    int n = static_cast<int>(h.size()) - 1;
    double f = std::clamp(x / w * n, 0.0, static_cast<double>(n));
    int i = std::min(static_cast<int>(f), n - 1);
    double t = f - i;
    return h[static_cast<std::size_t>(i)] * (1 - t) + h[static_cast<std::size_t>(i + 1)] * t;
}

// A fir: a trunk and stacked, slightly ragged tiers.
void fir_tree(cairo_t* cr, Random& random, double x, double ground, double height)
{
    double width = height * random.between(0.34, 0.44);
    int tiers = 4;
    cairo_rectangle(cr, x - height * 0.025, ground - height * 0.2, height * 0.05, height * 0.22);
    for (int t = 0; t < tiers; ++t) {
        double top = ground - height * (1.0 - t * 0.2);
        double base = ground - height * (0.58 - t * 0.18);
        double half = width * (0.45 + t * 0.19) * 0.5;
        double lean = random.between(-0.06, 0.06) * height;
        cairo_move_to(cr, x + lean * 0.3, top);
        cairo_line_to(cr, x + half + lean, base);
        cairo_line_to(cr, x + half * 0.35, base - height * 0.035);
        cairo_line_to(cr, x - half * 0.35, base - height * 0.035);
        cairo_line_to(cr, x - half + lean, base);
        cairo_close_path(cr);
    }
    cairo_fill(cr);
}

// A keep with three towers and pointed roofs, standing on a summit.
void castle(cairo_t* cr, double cx, double ground, double size)
{
    auto tower = [&](double x, double w, double h, double roof) {
        cairo_rectangle(cr, x - w / 2, ground - h, w, h + size * 0.2);
        cairo_move_to(cr, x - w / 2 - w * 0.12, ground - h);
        cairo_line_to(cr, x, ground - h - roof);
        cairo_line_to(cr, x + w / 2 + w * 0.12, ground - h);
        cairo_close_path(cr);
    };
    tower(cx, size * 0.16, size * 0.95, size * 0.45);
    tower(cx - size * 0.22, size * 0.12, size * 0.62, size * 0.3);
    tower(cx + size * 0.24, size * 0.13, size * 0.7, size * 0.32);
    cairo_rectangle(cr, cx - size * 0.3, ground - size * 0.4, size * 0.6, size * 0.6);
    // Battlements of the curtain wall.
    for (int i = 0; i < 7; ++i)
        cairo_rectangle(cr, cx - size * 0.3 + i * size * 0.09, ground - size * 0.46, size * 0.05, size * 0.07);
    cairo_fill(cr);
}

// Light from the low sun falling on everything inside the current path.
void sunlight_on_path(cairo_t* cr, double sun_x, double sun_y, double reach, Rgb colour, double alpha)
{
    cairo_save(cr);
    cairo_clip(cr);
    cairo_pattern_t* light = cairo_pattern_create_radial(sun_x, sun_y, 0, sun_x, sun_y, reach);
    stop(light, 0.0, colour, alpha);
    stop(light, 0.45, colour, alpha * 0.35);
    stop(light, 1.0, colour, 0.0);
    cairo_set_source(cr, light);
    cairo_paint(cr);
    cairo_pattern_destroy(light);
    cairo_restore(cr);
}

void draw_backdrop(const std::string& folder, const std::string& preview_folder)
{
    const int W = 1920, H = 1152;
    Random random(20240611);
    cairo_surface_t* surface = new_surface(W, H, CAIRO_FORMAT_RGB24);
    cairo_t* cr = cairo_create(surface);

    const Rgb night = hex(0x030908), deep = hex(0x081c16), teal = hex(0x123b30), haze = hex(0x2f6a57),
              gold = hex(0xd9a845), pale_gold = hex(0xf2d28a), ember = hex(0xb8742a);
    const double sun_x = W * 0.5, sun_y = H * 0.5;

    // Sky: night above, deep green lower down, a warm band just above the far peaks.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, H * 0.56);
    stop(sky, 0.0, night);
    stop(sky, 0.3, deep);
    stop(sky, 0.62, teal);
    stop(sky, 0.86, blend(haze, gold, 0.35));
    stop(sky, 1.0, blend(gold, pale_gold, 0.4));
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    // Stars, faint and few, only high up.
    for (int i = 0; i < 320; ++i) {
        double x = random.between(0, W), y = random.between(0, H * 0.4);
        double a = random.between(0.1, 0.75) * (1 - y / (H * 0.42));
        double r = random.between(0.5, 1.5);
        set_colour(cr, blend(pale_gold, {1, 1, 1}, 0.6), a);
        cairo_arc(cr, x, y, r, 0, 2 * pi);
        cairo_fill(cr);
    }

    // The afterglow around the set sun.
    cairo_pattern_t* glow = cairo_pattern_create_radial(sun_x, sun_y, 0, sun_x, sun_y, W * 0.6);
    stop(glow, 0.0, pale_gold, 0.9);
    stop(glow, 0.08, gold, 0.6);
    stop(glow, 0.3, ember, 0.2);
    stop(glow, 1.0, ember, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);

    // Light rays fanning up from behind the peaks.
    paint_soft(cr, W, H, 4, [&](cairo_t* c) {
        Random rays(77);
        for (int i = 0; i < 26; ++i) {
            double angle = -pi / 2 + rays.between(-1.25, 1.25);
            double spread = rays.between(0.008, 0.035);
            double length = W * 1.2;
            cairo_move_to(c, sun_x, sun_y);
            cairo_line_to(c, sun_x + std::cos(angle - spread) * length, sun_y + std::sin(angle - spread) * length);
            cairo_line_to(c, sun_x + std::cos(angle + spread) * length, sun_y + std::sin(angle + spread) * length);
            cairo_close_path(c);
            cairo_pattern_t* ray = cairo_pattern_create_radial(sun_x, sun_y, 0, sun_x, sun_y, length * 0.8);
            stop(ray, 0.0, pale_gold, rays.between(0.2, 0.38));
            stop(ray, 0.5, gold, 0.06);
            stop(ray, 1.0, gold, 0.0);
            cairo_set_source(c, ray);
            cairo_fill(c);
            cairo_pattern_destroy(ray);
        }
    }, 0.8, 3);

    // Mountain ranges from far to near: each darker and less touched by the haze.
    struct Range {
        double base, amplitude, roughness;
        Rgb top, bottom;
        double light, rim;
    };
    const Range ranges[] = {
        {H * 0.5, 110, 0.6, blend(teal, haze, 0.55), blend(teal, deep, 0.2), 0.42, 0.3},
        {H * 0.6, 100, 0.58, blend(deep, teal, 0.55), blend(deep, night, 0.1), 0.3, 0.45},
        {H * 0.7, 70, 0.55, blend(deep, teal, 0.2), blend(deep, night, 0.3), 0.14, 0.25},
        {H * 0.86, 50, 0.52, blend(night, deep, 0.5), night, 0.06, 0.12},
    };
    for (std::size_t layer = 0; layer < std::size(ranges); ++layer) {
        const Range& range = ranges[layer];
        std::vector<double> h = ridge(random, 512, range.base, range.amplitude, range.roughness);
        if (layer == 0) {
            add_peak(h, W, W * 0.22, W * 0.14, 210);
            add_peak(h, W, W * 0.36, W * 0.08, 120);
            add_peak(h, W, W * 0.74, W * 0.16, 180);
        } else if (layer == 1) {
            add_peak(h, W, W * 0.1, W * 0.16, 150);
            add_peak(h, W, W * 0.5, W * 0.1, 110);
            add_peak(h, W, W * 0.92, W * 0.16, 150);
        } else if (layer == 3) {
            add_peak(h, W, 0, W * 0.3, 260);
            add_peak(h, W, W, W * 0.28, 240);
        }

        ridge_path(cr, h, W, H);
        cairo_pattern_t* fill = cairo_pattern_create_linear(0, range.base - range.amplitude * 3, 0, range.base + 260);
        stop(fill, 0.0, range.top);
        stop(fill, 0.6, range.bottom);
        stop(fill, 1.0, blend(range.bottom, night, 0.6));
        cairo_set_source(cr, fill);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(fill);
        sunlight_on_path(cr, sun_x, sun_y - 40, W * 0.55, pale_gold, range.light);
        cairo_new_path(cr);

        // A thin rim of light along the crest, brightest towards the sun.
        {
            int n = static_cast<int>(h.size()) - 1;
            for (int i = 0; i <= n; ++i)
                cairo_line_to(cr, W * i / static_cast<double>(n), h[static_cast<std::size_t>(i)] + 0.8);
            cairo_pattern_t* rim = cairo_pattern_create_radial(sun_x, sun_y, 0, sun_x, sun_y, W * 0.5);
            stop(rim, 0.0, pale_gold, range.rim);
            stop(rim, 1.0, pale_gold, 0.0);
            cairo_set_source(cr, rim);
            cairo_set_line_width(cr, 1.6);
            cairo_stroke(cr);
            cairo_pattern_destroy(rim);
        }

        // The keep on the middle summit, dark against the afterglow.
        if (layer == 1) {
            double cx = W * 0.5;
            double ground = ridge_at(h, W, cx) + 8;
            set_colour(cr, blend(range.top, deep, 0.55));
            castle(cr, cx, ground, 110);
            set_colour(cr, pale_gold, 0.95);
            for (double dx : {-4.0, 4.0})
                cairo_rectangle(cr, cx + dx - 1.5, ground - 80, 3, 7);
            cairo_rectangle(cr, cx - 24 - 1.5, ground - 50, 3, 6);
            cairo_rectangle(cr, cx + 26 - 1.5, ground - 56, 3, 6);
            cairo_fill(cr);
        }

        // Forests on the nearer ranges, thinning towards the middle of the valley.
        if (layer >= 2) {
            Rgb tree = layer == 2 ? blend(deep, night, 0.35) : blend(night, {0, 0, 0}, 0.3);
            double min_h = layer == 2 ? 24 : 90, max_h = layer == 2 ? 64 : 230;
            double step_lo = layer == 2 ? 6 : 16, step_hi = layer == 2 ? 16 : 44;
            for (double x = -30; x < W + 30; x += random.between(step_lo, step_hi)) {
                double centre = std::fabs(x - W * 0.5) / (W * 0.5);
                if (layer == 3 && centre < 0.45 + random.between(0, 0.15))
                    continue;
                if (layer == 2 && std::sin(x * 0.009 + 1.7) > 0.8)
                    continue;
                double ground = ridge_at(h, W, x) + random.between(6, 18);
                double scale = layer == 3 ? 0.55 + centre * 0.6 : 1.0;
                set_colour(cr, tree);
                fir_tree(cr, random, x, ground, random.between(min_h, max_h) * scale);
            }
        }

        // Mist drifting between the ranges.
        if (layer < 3) {
            double mist_y = range.base + range.amplitude * 0.4 + 20;
            paint_soft(cr, W, H, 4, [&](cairo_t* c) {
                Random mist(1000 + layer);
                for (int i = 0; i < 22; ++i) {
                    double x = mist.between(-300, W + 300);
                    double y = mist_y + mist.between(-30, 40);
                    cairo_save(c);
                    cairo_translate(c, x, y);
                    cairo_scale(c, mist.between(200, 520), mist.between(18, 46));
                    cairo_arc(c, 0, 0, 1, 0, 2 * pi);
                    cairo_restore(c);
                    set_colour(c, blend(hex(0xbfe3d3), pale_gold, 0.3), mist.between(0.12, 0.26) * (1.0 - layer * 0.22));
                    cairo_fill(c);
                }
            }, 1.0, 6);
        }
    }

    // Embers drifting up through the valley.
    for (int i = 0; i < 110; ++i) {
        double x = random.between(0, W), y = random.between(H * 0.3, H * 0.95);
        double r = random.between(0.8, 2.4);
        double a = random.between(0.3, 0.85);
        cairo_pattern_t* spark = cairo_pattern_create_radial(x, y, 0, x, y, r * 5);
        stop(spark, 0.0, pale_gold, a);
        stop(spark, 0.25, gold, a * 0.45);
        stop(spark, 1.0, gold, 0.0);
        cairo_set_source(cr, spark);
        cairo_arc(cr, x, y, r * 5, 0, 2 * pi);
        cairo_fill(cr);
        cairo_pattern_destroy(spark);
    }

    // A darker floor, where the launcher's bottom bar sits, and a vignette.
    cairo_pattern_t* floor = cairo_pattern_create_linear(0, H * 0.78, 0, H);
    stop(floor, 0.0, night, 0.0);
    stop(floor, 1.0, night, 0.7);
    cairo_set_source(cr, floor);
    cairo_paint(cr);
    cairo_pattern_destroy(floor);
    cairo_pattern_t* vignette = cairo_pattern_create_radial(W * 0.5, H * 0.48, H * 0.4, W * 0.5, H * 0.48, W * 0.72);
    stop(vignette, 0.0, night, 0.0);
    stop(vignette, 1.0, night, 0.7);
    cairo_set_source(cr, vignette);
    cairo_paint(cr);
    cairo_pattern_destroy(vignette);
    cairo_destroy(cr);

    // A faint grain keeps the long gradients from banding after compression.
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    Random grain(5);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int noise = static_cast<int>(std::lround(grain.between(-2.0, 2.0)));
            unsigned char* p = data + y * stride + x * 4;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<unsigned char>(std::clamp(p[c] + noise, 0, 255));
            p[3] = 255;
        }
    cairo_surface_mark_dirty(surface);

    write_webp(surface, folder + "/hero-torvane.webp", 86);
    if (!preview_folder.empty())
        write_png(surface, preview_folder + "/hero-torvane.png");
    cairo_surface_destroy(surface);
}

// --- the wordmark -----------------------------------------------------------------------------

struct Point {
    double x, y;
};

// Letters on a cap height of 100 units (baseline at y = 100): chiselled capitals with wedge
// serifs, thick and thin strokes. Every outline is added with one orientation and every
// counter with the other, so the non-zero rule fills their union.
class LetterPen {
public:
    explicit LetterPen(cairo_t* cr) : cr_(cr) {}
    void set_origin(double x) { origin_ = x; }

    void polygon(std::vector<Point> points, bool hole = false)
    {
        double area = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            Point a = points[i], b = points[(i + 1) % points.size()];
            area += a.x * b.y - b.x * a.y;
        }
        if ((area < 0) != hole)
            std::reverse(points.begin(), points.end());
        cairo_move_to(cr_, origin_ + points[0].x, points[0].y);
        for (std::size_t i = 1; i < points.size(); ++i)
            cairo_line_to(cr_, origin_ + points[i].x, points[i].y);
        cairo_close_path(cr_);
    }

    void ellipse(double cx, double cy, double rx, double ry, bool hole = false)
    {
        cairo_save(cr_);
        cairo_translate(cr_, origin_ + cx, cy);
        cairo_scale(cr_, rx, ry);
        cairo_new_sub_path(cr_);
        if (hole)
            cairo_arc_negative(cr_, 0, 0, 1, 2 * pi, 0);
        else
            cairo_arc(cr_, 0, 0, 1, 0, 2 * pi);
        cairo_close_path(cr_);
        cairo_restore(cr_);
    }

    // A vertical stem from x0 to x1 with wedge serifs at the top and the bottom.
    void stem(double x0, double x1, bool top = true, bool bottom = true)
    {
        const double s = 8, t = 9;
        std::vector<Point> p;
        if (top) {
            p.push_back({x0 - s, 0});
            p.push_back({x1 + s, 0});
            p.push_back({x1, t});
        } else {
            p.push_back({x0, 0});
            p.push_back({x1, 0});
        }
        if (bottom) {
            p.push_back({x1, 100 - t});
            p.push_back({x1 + s, 100});
            p.push_back({x0 - s, 100});
            p.push_back({x0, 100 - t});
        } else {
            p.push_back({x1, 100});
            p.push_back({x0, 100});
        }
        if (top)
            p.push_back({x0, t});
        polygon(p);
    }

    // The bowl of an R or a P: outer outline and counter, curves through cairo.
    void bowl(double x0, double right, double bottom, double thick, double thin)
    {
        auto contour = [&](double l, double t, double r, double b, bool hole) {
            double mid = (t + b) / 2;
            double k = 0.56;
            cairo_new_sub_path(cr_);
            double o = origin_;
            if (!hole) {
                cairo_move_to(cr_, o + l, t);
                cairo_line_to(cr_, o + r - (b - t) / 2, t);
                cairo_curve_to(cr_, o + r - (b - t) / 2 * (1 - k), t, o + r, mid - (b - t) / 2 * k, o + r, mid);
                cairo_curve_to(cr_, o + r, mid + (b - t) / 2 * k, o + r - (b - t) / 2 * (1 - k), b, o + r - (b - t) / 2, b);
                cairo_line_to(cr_, o + l, b);
            } else {
                cairo_move_to(cr_, o + l, t);
                cairo_line_to(cr_, o + l, b);
                cairo_line_to(cr_, o + r - (b - t) / 2, b);
                cairo_curve_to(cr_, o + r - (b - t) / 2 * (1 - k), b, o + r, mid + (b - t) / 2 * k, o + r, mid);
                cairo_curve_to(cr_, o + r, mid - (b - t) / 2 * k, o + r - (b - t) / 2 * (1 - k), t, o + r - (b - t) / 2, t);
            }
            cairo_close_path(cr_);
        };
        contour(x0, 0, right, bottom, false);
        contour(x0, thin, right - thick, bottom - thin * 0.9, true);
    }

private:
    cairo_t* cr_;
    double origin_ = 0;
};

struct Letter {
    double width;
    std::function<void(LetterPen&)> draw;
};

const std::vector<Letter>& torvane_letters()
{
    static const std::vector<Letter> letters = {
        {80, [](LetterPen& p) { // T
             p.polygon({{0, 0}, {80, 0}, {80, 30}, {73, 15}, {49.5, 15}, {49.5, 91}, {58, 100}, {22, 100}, {30.5, 91}, {30.5, 15},
                 {7, 15}, {0, 30}});
         }},
        {94, [](LetterPen& p) { // O
             p.ellipse(47, 50, 47, 51.5);
             p.ellipse(47, 50, 27.5, 40, true);
         }},
        {80, [](LetterPen& p) { // R
             p.stem(8, 27, true, true);
             p.bowl(20, 74, 54, 19, 10);
             p.polygon({{36, 50}, {55, 50}, {76, 93}, {84, 100}, {55, 100}, {59, 95}});
         }},
        {90, [](LetterPen& p) { // V
             p.polygon({{-4, 0}, {30, 0}, {24, 8}, {49, 77}, {70, 8}, {63, 0}, {91, 0}, {83, 8}, {51, 101}, {41, 101}, {6, 8}});
         }},
        {92, [](LetterPen& p) { // A
             p.polygon({{38, -1}, {53, -1}, {86, 92}, {94, 100}, {63, 100}, {69, 93}, {62, 73}, {31, 73}, {24, 93}, {30, 100},
                 {-2, 100}, {6, 92}});
             p.polygon({{34, 61}, {58.5, 61}, {46, 24}}, true);
         }},
        {88, [](LetterPen& p) { // N
             p.polygon({{-2, 0}, {23, 0}, {71, 74}, {71, 9}, {63, 0}, {89, 0}, {81, 9}, {81, 102}, {71, 102}, {16, 26}, {16, 91},
                 {24, 100}, {-2, 100}, {6, 91}, {6, 9}});
         }},
        {74, [](LetterPen& p) { // E
             p.polygon({{-2, 0}, {70, 0}, {70, 26}, {63, 13}, {26, 13}, {26, 44}, {50, 44}, {56, 36}, {56, 64}, {50, 56}, {26, 56},
                 {26, 87}, {66, 87}, {74, 72}, {74, 100}, {-2, 100}, {6, 91}, {6, 9}});
         }},
    };
    return letters;
}

// Adds a straight copy of the mask's coverage, spread to every pixel within radius: a cheap
// dilation for outlines.
void paint_spread(cairo_t* cr, cairo_surface_t* mask, double radius)
{
    for (int i = 0; i < 24; ++i) {
        double a = 2 * pi * i / 24;
        cairo_mask_surface(cr, mask, std::cos(a) * radius, std::sin(a) * radius);
    }
    cairo_mask_surface(cr, mask, 0, 0);
}

void draw_logo(const std::string& folder)
{
    const int W = 860, H = 244;
    const auto& letters = torvane_letters();
    const double gap = 13;
    double units = -gap;
    for (const Letter& letter : letters)
        units += letter.width + gap;
    const double margin_x = 46;
    const double scale = (W - 2 * margin_x) / units;
    const double top = 38;

    // The letters' coverage, drawn once and reused for every effect.
    cairo_surface_t* shape = new_surface(W, H, CAIRO_FORMAT_A8);
    {
        cairo_t* cr = cairo_create(shape);
        cairo_translate(cr, margin_x, top);
        cairo_scale(cr, scale, scale);
        LetterPen pen(cr);
        double x = 0;
        for (const Letter& letter : letters) {
            pen.set_origin(x);
            letter.draw(pen);
            x += letter.width + gap;
        }
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        cairo_fill(cr);

        // The rule beneath: tapering gold lines either side of a diamond.
        cairo_identity_matrix(cr);
        double cy = top + 100 * scale + 30, cx = W / 2.0;
        for (int side : {-1, 1}) {
            cairo_move_to(cr, cx + side * 18, cy - 2.2);
            cairo_line_to(cr, cx + side * (W / 2.0 - margin_x - 10), cy - 0.4);
            cairo_line_to(cr, cx + side * (W / 2.0 - margin_x - 10), cy + 0.4);
            cairo_line_to(cr, cx + side * 18, cy + 2.2);
            cairo_close_path(cr);
            cairo_arc(cr, cx + side * (W / 2.0 - margin_x), cy, 3.2, 0, 2 * pi);
            cairo_fill(cr);
            cairo_move_to(cr, cx + side * 30, cy);
            cairo_line_to(cr, cx + side * 38, cy - 5);
            cairo_line_to(cr, cx + side * 46, cy);
            cairo_line_to(cr, cx + side * 38, cy + 5);
            cairo_close_path(cr);
            cairo_fill(cr);
        }
        cairo_move_to(cr, cx, cy - 11);
        cairo_line_to(cr, cx + 11, cy);
        cairo_line_to(cr, cx, cy + 11);
        cairo_line_to(cr, cx - 11, cy);
        cairo_close_path(cr);
        cairo_fill(cr);
        cairo_destroy(cr);
    }

    cairo_surface_t* surface = new_surface(W, H);
    cairo_t* cr = cairo_create(surface);
    const Rgb dark = hex(0x120c05);

    // A soft shadow under everything, then a dark rim around the letters.
    paint_soft(cr, W, H, 4, [&](cairo_t* c) {
        cairo_set_source_rgba(c, 0.02, 0.04, 0.03, 0.9);
        cairo_save(c);
        paint_spread(c, shape, 6);
        cairo_restore(c);
    }, 0.85);
    set_colour(cr, dark, 0.95);
    paint_spread(cr, shape, 3.2);

    // The gilding: bright at the top of the caps, deep gold at the foot, a glint at the baseline.
    double cap_top = top, cap_bottom = top + 100 * scale;
    cairo_pattern_t* gilt = cairo_pattern_create_linear(0, cap_top, 0, cap_bottom + 36);
    stop(gilt, 0.0, hex(0xfff3c8));
    stop(gilt, 0.22, hex(0xf2d28a));
    stop(gilt, 0.5, hex(0xd9a845));
    stop(gilt, 0.62, hex(0xa8702a));
    stop(gilt, 0.74, hex(0xe7bd62));
    stop(gilt, 1.0, hex(0xb8842f));
    cairo_set_source(cr, gilt);
    cairo_mask_surface(cr, shape, 0, 0);
    cairo_pattern_destroy(gilt);

    // Chisel light: the upper-left edges catch light, the lower-right ones fall into shade.
    cairo_surface_t* edge = new_surface(W, H, CAIRO_FORMAT_A8);
    {
        cairo_t* e = cairo_create(edge);
        cairo_set_source_surface(e, shape, 0, 0);
        cairo_paint(e);
        cairo_set_operator(e, CAIRO_OPERATOR_DEST_OUT);
        cairo_set_source_surface(e, shape, 1.6, 1.8);
        cairo_paint(e);
        cairo_destroy(e);
    }
    set_colour(cr, hex(0xfff8e0), 0.75);
    cairo_mask_surface(cr, edge, 0, 0);
    {
        cairo_t* e = cairo_create(edge);
        cairo_set_operator(e, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(e, shape, 0, 0);
        cairo_paint(e);
        cairo_set_operator(e, CAIRO_OPERATOR_DEST_OUT);
        cairo_set_source_surface(e, shape, -1.8, -2.0);
        cairo_paint(e);
        cairo_destroy(e);
    }
    set_colour(cr, hex(0x5a3710), 0.7);
    cairo_mask_surface(cr, edge, 0, 0);
    cairo_surface_destroy(edge);

    cairo_destroy(cr);
    write_png(surface, folder + "/logo-torvane.png");
    cairo_surface_destroy(surface);
    cairo_surface_destroy(shape);
}

// --- the crest and the window icon ----------------------------------------------------------------

// The emblem in a 520-unit square around (260, 260): a gold ring with rune marks around a dark
// green field, and a gilded peak under a four-pointed star. `detail` 0 keeps only what reads
// at icon sizes.
void draw_emblem(cairo_t* cr, int detail)
{
    const Rgb gold = hex(0xd9a845), pale = hex(0xf2d28a), bright = hex(0xfff0c0), green = hex(0x12b880);
    const double c = 260;

    // Field.
    cairo_pattern_t* field = cairo_pattern_create_radial(c, c - 60, 10, c, c, 236);
    stop(field, 0.0, hex(0x1d5a47));
    stop(field, 0.55, hex(0x0f3227));
    stop(field, 1.0, hex(0x06140f));
    cairo_arc(cr, c, c, 236, 0, 2 * pi);
    cairo_set_source(cr, field);
    cairo_fill(cr);
    cairo_pattern_destroy(field);

    // Outer ring: a gilded band with a dark groove.
    cairo_pattern_t* ring = cairo_pattern_create_linear(60, 40, 460, 480);
    stop(ring, 0.0, bright);
    stop(ring, 0.35, pale);
    stop(ring, 0.6, gold);
    stop(ring, 0.85, hex(0x8f5e22));
    stop(ring, 1.0, gold);
    cairo_new_path(cr);
    cairo_arc(cr, c, c, 254, 0, 2 * pi);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, c, c, detail ? 222 : 206, 2 * pi, 0);
    cairo_set_source(cr, ring);
    cairo_fill(cr);
    if (detail) {
        set_colour(cr, hex(0x3a2608), 0.85);
        cairo_set_line_width(cr, 3);
        cairo_arc(cr, c, c, 238, 0, 2 * pi);
        cairo_stroke(cr);
        // Rune marks in the band: short strokes and chevrons, in turn.
        for (int i = 0; i < 36; ++i) {
            double a = 2 * pi * i / 36;
            cairo_save(cr);
            cairo_translate(cr, c + std::cos(a) * 230, c + std::sin(a) * 230);
            cairo_rotate(cr, a + pi / 2);
            cairo_set_line_width(cr, 2.4);
            set_colour(cr, hex(0x3a2608), 0.9);
            if (i % 3 == 0) {
                cairo_move_to(cr, -4, -5);
                cairo_line_to(cr, 0, 5);
                cairo_line_to(cr, 4, -5);
            } else if (i % 3 == 1) {
                cairo_move_to(cr, 0, -6);
                cairo_line_to(cr, 0, 6);
                cairo_move_to(cr, -4, -1);
                cairo_line_to(cr, 4, 3);
            } else {
                cairo_move_to(cr, -3, -6);
                cairo_line_to(cr, -3, 6);
                cairo_move_to(cr, 3, -6);
                cairo_line_to(cr, 3, 6);
            }
            cairo_stroke(cr);
            cairo_restore(cr);
        }
        cairo_arc(cr, c, c, 212, 0, 2 * pi);
        set_colour(cr, green, 0.55);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
    }
    cairo_pattern_destroy(ring);

    // Light rays behind the peak.
    if (detail) {
        for (int i = 0; i < 12; ++i) {
            double a = -pi / 2 + (i - 5.5) * 0.22;
            cairo_move_to(cr, c, 205);
            cairo_line_to(cr, c + std::cos(a - 0.04) * 200, 205 + std::sin(a - 0.04) * 200);
            cairo_line_to(cr, c + std::cos(a + 0.04) * 200, 205 + std::sin(a + 0.04) * 200);
            cairo_close_path(cr);
        }
        cairo_pattern_t* rays = cairo_pattern_create_radial(c, 205, 0, c, 205, 190);
        stop(rays, 0.0, pale, 0.5);
        stop(rays, 1.0, pale, 0.0);
        cairo_set_source(cr, rays);
        cairo_fill(cr);
        cairo_pattern_destroy(rays);
    }

    // The peaks: a tall one with two shoulders, lit from the left.
    cairo_pattern_t* peak = cairo_pattern_create_linear(150, 170, 370, 380);
    stop(peak, 0.0, bright);
    stop(peak, 0.45, gold);
    stop(peak, 1.0, hex(0x7a4f1b));
    cairo_move_to(cr, 96, 372);
    cairo_line_to(cr, 176, 268);
    cairo_line_to(cr, 206, 300);
    cairo_line_to(cr, 260, 176);
    cairo_line_to(cr, 322, 296);
    cairo_line_to(cr, 350, 262);
    cairo_line_to(cr, 424, 372);
    cairo_close_path(cr);
    cairo_set_source(cr, peak);
    cairo_fill(cr);
    cairo_pattern_destroy(peak);
    if (detail) {
        // Shaded faces on the right of each summit.
        set_colour(cr, hex(0x3b2608), 0.45);
        cairo_move_to(cr, 260, 176);
        cairo_line_to(cr, 322, 296);
        cairo_line_to(cr, 286, 372);
        cairo_line_to(cr, 268, 262);
        cairo_close_path(cr);
        cairo_move_to(cr, 350, 262);
        cairo_line_to(cr, 424, 372);
        cairo_line_to(cr, 380, 372);
        cairo_line_to(cr, 356, 300);
        cairo_close_path(cr);
        cairo_fill(cr);
        // The green valley line under the peaks.
        cairo_move_to(cr, 112, 392);
        cairo_curve_to(cr, 200, 372, 320, 372, 408, 392);
        set_colour(cr, green, 0.9);
        cairo_set_line_width(cr, 6);
        cairo_stroke(cr);
        cairo_move_to(cr, 150, 416);
        cairo_curve_to(cr, 220, 402, 300, 402, 370, 416);
        set_colour(cr, gold, 0.8);
        cairo_set_line_width(cr, 4);
        cairo_stroke(cr);
    }

    // The star above the peak.
    const double sx = 260, sy = detail ? 118 : 124, r = detail ? 34 : 46;
    cairo_move_to(cr, sx, sy - r);
    cairo_line_to(cr, sx + r * 0.22, sy - r * 0.22);
    cairo_line_to(cr, sx + r, sy);
    cairo_line_to(cr, sx + r * 0.22, sy + r * 0.22);
    cairo_line_to(cr, sx, sy + r);
    cairo_line_to(cr, sx - r * 0.22, sy + r * 0.22);
    cairo_line_to(cr, sx - r, sy);
    cairo_line_to(cr, sx - r * 0.22, sy - r * 0.22);
    cairo_close_path(cr);
    set_colour(cr, bright);
    cairo_fill(cr);
}

void draw_crest(const std::string& folder)
{
    const int side = 520;
    cairo_surface_t* surface = new_surface(side, side);
    cairo_t* cr = cairo_create(surface);
    // A faint gold aura just outside the ring.
    cairo_pattern_t* aura = cairo_pattern_create_radial(260, 260, 248, 260, 260, 260);
    stop(aura, 0.0, hex(0xd9a845), 0.45);
    stop(aura, 1.0, hex(0xd9a845), 0.0);
    cairo_set_source(cr, aura);
    cairo_paint(cr);
    cairo_pattern_destroy(aura);
    draw_emblem(cr, 1);
    cairo_destroy(cr);
    write_png(surface, folder + "/crest-torvane.png");
    cairo_surface_destroy(surface);
}

void draw_window_icons(const std::string& folder)
{
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        cairo_surface_t* surface = new_surface(size, size);
        cairo_t* cr = cairo_create(surface);
        double s = size / 520.0;
        cairo_scale(cr, s, s);
        draw_emblem(cr, size >= 48 ? 1 : 0);
        cairo_destroy(cr);
        write_png(surface, folder + "/window-icon-" + std::to_string(size) + ".png");
        cairo_surface_destroy(surface);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> [folder for a PNG preview of the backdrop]\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    draw_backdrop(folder, argc == 3 ? argv[2] : "");
    draw_logo(folder);
    draw_crest(folder);
    draw_window_icons(folder);
    return 0;
}
