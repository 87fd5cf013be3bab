#include "platform/linux/x11_window.hpp"

#include <gtest/gtest.h>

namespace torvane::platform::x11 {
namespace {

TEST(XftDpi, FromTheResourceText)
{
    struct Case {
        const char* resources;
        std::optional<float> dpi;
    };
    const Case cases[] = {
        {"Xft.dpi:\t192\n", 192.0f},
        {"Xcursor.size:\t24\nXft.dpi:\t144\nXft.antialias:\t1\n", 144.0f},
        {"Xft.dpi: 120.5", 120.5f},
        {"Xft.dpi:\t96\r\n", 96.0f},
        {"", std::nullopt},
        {"Xft.antialias:\t1\n", std::nullopt},
        {"Xft.dpis:\t192\n", std::nullopt},
        {"*dpi:\t192\n", std::nullopt},
        {"Xft.dpi:\tmuito\n", std::nullopt},
        {"Xft.dpi:\t192dpi\n", std::nullopt},
        {"Xft.dpi:\t0\n", std::nullopt},
        {"Xft.dpi:\t-96\n", std::nullopt},
        {"Xft.dpi:\n", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(xft_dpi_from_resources(c.resources), c.dpi) << c.resources;
}

} // namespace
} // namespace torvane::platform::x11
