#include "release_keys.hpp"

#include "support/sample_client.hpp"
#include "update/digest.hpp"
#include "update/signatures.hpp"

#include <algorithm>
#include <cstdio>

namespace torvane::test {

namespace {

publisher::ReleaseSigner load_or_die(const std::filesystem::path& path)
{
    auto signer = publisher::ReleaseSigner::load(path);
    if (!signer)
        fatal(signer.error().c_str());
    return std::move(*signer);
}

} // namespace

const publisher::ReleaseSigner& dev_signer()
{
    static const publisher::ReleaseSigner signer = load_or_die(dev_key_path());
    return signer;
}

const publisher::ReleaseSigner& foreign_signer()
{
    static const publisher::ReleaseSigner signer = load_or_die(foreign_key_path());
    return signer;
}

const platform::RsaPublicKey& dev_public_key()
{
    static const platform::RsaPublicKey key = [] {
        auto key = dev_signer().public_key();
        if (!key)
            fatal(key.error().c_str());
        return std::move(*key);
    }();
    return key;
}

bool built_in_key_is_dev_key()
{
    auto blob = dev_signer().public_key_blob();
    auto built_in = release_public_key_blob();
    return std::equal(blob.begin(), blob.end(), built_in.begin(), built_in.end());
}

std::string dev_signed(std::string_view text)
{
    std::string signature = *dev_signer().sign(text);
    return std::string(text) + signature;
}

std::string blob_hex(std::size_t i) { return hex_lower(sha256_bytes("blob " + std::to_string(i))); }

ReleaseList sample_release_list(std::size_t asset_blobs, std::string release_id)
{
    ReleaseList list;
    list.release_id = std::move(release_id);
    auto add = [&](std::string_view path) {
        list.entries.push_back({list.entries.size() + 1, std::string(path), hex_lower(sha256_bytes(path))});
    };
    std::for_each(core_release_files.begin(), core_release_files.end(), add);
    std::for_each(user_files.begin(), user_files.end(), add);
    for (std::size_t i = 0; i < asset_blobs; ++i)
        add("Assets/" + blob_hex(i) + ".pmk");
    return list;
}

} // namespace torvane::test
