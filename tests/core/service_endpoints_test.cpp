#include "core/service_endpoints.hpp"

#include <gtest/gtest.h>

namespace torvane::service {
namespace {

TEST(ServiceEndpoints, AddressesAreOnTheConfiguredHttpsHost)
{
    struct Case {
        std::string url;
        const char* path;
    };
    const Case cases[] = {
        {launcher_json_url(), "/launcher.json"},
        {client_base_url(), "/client"},
        {files_base_url(), "/files"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.url.starts_with("https://")) << c.url;
        EXPECT_TRUE(c.url.ends_with(c.path)) << c.url;
        // Exactly one slash between the origin and the path, whatever the origin ends with.
        std::string before_path = c.url.substr(0, c.url.size() - std::string_view(c.path).size());
        EXPECT_FALSE(before_path.ends_with('/')) << c.url;
        EXPECT_EQ(c.url.find("//", 8), std::string::npos) << c.url;
    }
}

} // namespace
} // namespace torvane::service
