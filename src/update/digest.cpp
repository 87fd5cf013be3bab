#include "update/digest.hpp"

#include "platform/sha256.hpp"
#include "platform/text.hpp"

#include <vector>

namespace torvane {

std::string hex_lower(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(bytes.size() * 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    return text;
}

Sha256Digest sha256_bytes(std::string_view bytes)
{
    platform::Sha256 hasher;
    hasher.update(bytes);
    return hasher.finish();
}

Result<Sha256Digest> sha256_of_handle(platform::FileHandle& file)
{
    // One buffer per thread, reused for every file: zero-filling a fresh 1 MiB for each of many
    // small files would cost more than hashing them.
    thread_local std::vector<std::uint8_t> buffer(hash_read_size);
    platform::Sha256 hasher;
    for (;;) {
        std::size_t got = TRY(file.read(buffer));
        if (got == 0)
            break;
        hasher.update(std::span(buffer.data(), got));
    }
    return hasher.finish();
}

Result<std::string> sha256_file_hex(const std::filesystem::path& path)
{
    platform::FileHandle file = TRY(platform::FileHandle::open_for_reading(path));
    Sha256Digest digest = TRY(sha256_of_handle(file));
    return hex_lower(digest);
}

namespace {

// A table instead of comparisons: digests are random digits, on which branches mispredict, and a
// 30,000-entry list has four million of them.
struct LowerHexTable {
    bool lower_hex[256] = {};
    constexpr LowerHexTable()
    {
        for (int c = 0; c < 256; ++c)
            lower_hex[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    }
};
constexpr LowerHexTable tables;

} // namespace

bool is_lower_hex(std::string_view text, std::size_t length)
{
    if (text.size() != length)
        return false;
    bool all = true;
    for (char c : text)
        all &= tables.lower_hex[static_cast<unsigned char>(c)];
    return all;
}

std::string ascii_lower(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered)
        c = platform::lower_ascii(c);
    return lowered;
}

} // namespace torvane
