// SHA-256 (FIPS 180-4) fed in pieces.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace torvane::platform {

class Sha256 {
public:
    static constexpr std::size_t digest_size = 32;

    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    void update(std::span<const std::uint8_t> bytes);
    void update(std::string_view bytes);
    // The digest of everything fed so far; the hasher then starts over.
    std::array<std::uint8_t, digest_size> finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace torvane::platform
