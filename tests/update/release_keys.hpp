// Keys and list builders shared by the update tests.
#pragma once

#include "platform/rsa_verify.hpp"
#include "release_signer.hpp"
#include "update/release_list.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace torvane::test {

// The development key (the default build's release key) and a key that no build trusts.
const publisher::ReleaseSigner& dev_signer();
const publisher::ReleaseSigner& foreign_signer();
const platform::RsaPublicKey& dev_public_key();

// True when this build embeds the development key, so that lists signed here pass the launcher's
// own checks. A deployment build with its own key skips those tests.
bool built_in_key_is_dev_key();
#define SKIP_UNLESS_BUILT_WITH_DEV_KEY()                                                           \
    if (!::torvane::test::built_in_key_is_dev_key())                                               \
    GTEST_SKIP() << "this build embeds another release key"

// The text signed with the development key, as a list file.
std::string dev_signed(std::string_view text);

// A valid list: every core and user file and `asset_blobs` asset blobs, each entry with its own
// size and digest, and the given id.
ReleaseList sample_release_list(std::size_t asset_blobs = 1, std::string release_id = std::string(32, 'a'));

// The 64-hex name part of asset blob number i.
std::string blob_hex(std::size_t i);

} // namespace torvane::test
