// The launcher configuration document's records. Reading and writing live in config_json.hpp.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace torvane {

struct LauncherNews {
    std::optional<std::string> tag;
    std::optional<std::string> color;
    std::optional<std::string> text;
    std::optional<std::string> url;
    std::optional<std::string> date;
    bool operator==(const LauncherNews&) const = default;
};

struct LauncherLink {
    std::optional<std::string> text;
    std::optional<std::string> url;
    bool operator==(const LauncherLink&) const = default;
};

struct LauncherInfo {
    std::optional<std::string> label;
    std::optional<std::string> value;
    bool operator==(const LauncherInfo&) const = default;
};

struct UpdateConfig {
    bool enabled = false;
    std::optional<std::string> manifest_url;
    std::optional<std::string> files_base_url;
    bool operator==(const UpdateConfig&) const = default;
};

// Fields in the document's order, which is also the array form's order and the writer's key order.
struct LauncherConfig {
    std::optional<std::string> server_name;
    std::optional<std::string> game_exe;
    bool close_after_start = false;
    std::optional<std::string> background_video;
    std::optional<std::vector<LauncherLink>> links;
    std::optional<std::vector<LauncherNews>> news;
    std::optional<UpdateConfig> update;
    std::optional<std::vector<LauncherInfo>> info;
    std::optional<std::string> abertura;
    bool operator==(const LauncherConfig&) const = default;
};

} // namespace torvane
