// Reading and writing the launcher configuration document.
#pragma once

#include "core/launcher_config.hpp"
#include "platform/result.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace torvane {

// Reads a document from bytes: one leading UTF-8 byte-order mark is skipped, every text must be
// UTF-8. Records may be objects or arrays in field order; unknown keys are skipped. The error is
// the reader's message with its position, e.g. "trailing characters at line 1 column 3".
Result<LauncherConfig> parse_launcher_config(std::string_view bytes);
// The same reading from a text, without the byte-order mark rule (the caller strips what it must).
Result<LauncherConfig> parse_launcher_config_text(std::string_view text);

// The document in the pretty form: keys in field order, absent values as null except an absent
// "Abertura", which is left out; no final line feed.
std::string format_launcher_config(const LauncherConfig& config);

// A deep copy of a news list (every item owns its texts).
inline std::vector<LauncherNews> clone_news_list(const std::vector<LauncherNews>& news) { return news; }

} // namespace torvane
