#include "support/linux/child_process.hpp"
#include "support/temp_dir.hpp"
#include "update/install_folders.hpp"

#include <gtest/gtest.h>

#include <memory>

namespace torvane {
namespace {

namespace fs = std::filesystem;

constexpr char busy[] = "outra atualização do Torvane está em andamento.";

// The lock holder program (lock_holder.cpp) for the game folder.
std::unique_ptr<test::Child> start_lock_holder(const fs::path& game)
{
    return std::make_unique<test::Child>(TORVANE_LOCK_HOLDER, std::vector<std::string> {game.string()},
                                         test::current_environment());
}

TEST(UpdateLock, SecondProcessIsRefusedWhileTheFirstHoldsIt)
{
    test::TempDir game;
    auto first = start_lock_holder(game.path());
    ASSERT_EQ(first->line(), "held");

    auto second = start_lock_holder(game.path());
    EXPECT_EQ(second->line(), busy);
    EXPECT_EQ(second->wait(), 1);
    auto here = take_update_lock(game.path());
    ASSERT_FALSE(here);
    EXPECT_EQ(here.error(), busy);

    first->close_input();
    EXPECT_EQ(first->wait(), 0);
    EXPECT_TRUE(take_update_lock(game.path()));
}

TEST(UpdateLock, HeldForTheObjectsLifetimeAndTheFileStays)
{
    test::TempDir game;
    {
        auto lock = take_update_lock(game.path());
        ASSERT_TRUE(lock) << lock.error();
        EXPECT_EQ(take_update_lock(game.path()).error(), busy); // a second open in this process too
        auto other = start_lock_holder(game.path());
        EXPECT_EQ(other->line(), busy);
    }
    EXPECT_TRUE(take_update_lock(game.path()));
    EXPECT_EQ(fs::file_size(game.path() / "update.lock"), 0u);
}

TEST(UpdateLock, UnopenableLockFileCountsAsBusy)
{
    test::TempDir game;
    fs::create_directory(game.path() / "update.lock");
    EXPECT_EQ(take_update_lock(game.path()).error(), busy);
    EXPECT_EQ(take_update_lock(game.path() / "missing-folder").error(), busy);
}

} // namespace
} // namespace torvane
