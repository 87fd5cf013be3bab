// A registry store of the test's own, in its temporary folder (set_registry_root): on Linux the
// folder of key files, on Windows keys below one named after the folder. Refusals are lifted and
// the default store is back after each test.
#pragma once

#include "platform/registry.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace torvane::test {

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { platform::set_registry_root(dir.path() / "store"); }
    void TearDown() override
    {
        platform::clear_registry_refusals();
        platform::set_registry_root({});
    }
    // Opens (creating) a key of the store; a failure fails the test.
    platform::RegistryKey open_key(std::string_view sub_key) const
    {
        auto key = platform::RegistryKey::create_current_user(sub_key);
        if (!key)
            ADD_FAILURE() << key.error();
        return std::move(*key);
    }

    TempDir dir;
};

} // namespace torvane::test
