// Failures are values: an operation yields its result or the Portuguese message the user sees.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <expected>
#include <string>

namespace torvane {

template <class T>
using Result = std::expected<T, std::string>;

using Status = Result<void>;

inline std::unexpected<std::string> failure(std::string message) { return std::unexpected(std::move(message)); }

// The text that marks a cancellation: never retried, never shown as an error.
inline constexpr const char cancelled_text[] = "cancelado";

// A broken internal invariant ends the process at once.
[[noreturn]] inline void fatal(const char* what)
{
    std::fprintf(stderr, "torvane: %s\n", what);
    std::abort();
}

} // namespace torvane

// Evaluates a Result; on failure returns its message from the enclosing function, otherwise yields
// the value (nothing for Status).
#define TRY(expr)                                                              \
    ({                                                                         \
        auto&& try_result_ = (expr);                                           \
        if (!try_result_)                                                      \
            return std::unexpected(std::move(try_result_).error());           \
        std::move(try_result_).value();                                        \
    })
