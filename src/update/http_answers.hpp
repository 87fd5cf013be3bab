// How the update paths read what the service answers: failure texts and the "Content-Length"
// header.
#pragma once

#include "core/http_agent.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// "o servidor respondeu {}" with the status of a status failure; the transport failure's own text
// otherwise.
std::string http_failure_text(const HttpError& error);

// An unsigned decimal number with an optional leading "+", as the "Content-Length" header carries
// it; none when the text is empty, holds anything else or does not fit the type.
std::optional<std::uint64_t> parse_header_u64(std::string_view text);
std::optional<std::uint32_t> parse_header_u32(std::string_view text);

} // namespace torvane
