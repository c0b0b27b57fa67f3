#include "styles/StyleListLock.h"

#include "styles/StyleLibrary.h"
#include "styles/StyleTestSupport.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace korvanta;
using namespace korvanta::test;

namespace {

constexpr std::chrono::milliseconds kNoWait{0};

StyleList oneStyle() {
    StyleList list;
    list.groups[0] = {{styleId(0, 0), {}, "Ballad"}};
    return list;
}

} // namespace

TEST(StyleListLock, HoldsOffASecondLockUntilTheFirstEnds) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    ASSERT_TRUE(writeStyleList(listPath, oneStyle()));
    {
        const StyleListLock first(listPath);
        ASSERT_TRUE(first.isHeld()) << first.error();
        const StyleListLock second(listPath, kNoWait);
        EXPECT_FALSE(second.isHeld());
        EXPECT_EQ(second.error(), listPath.string() +
                                      " is locked by another import into this library (waited 0 "
                                      "s); try again when it has finished");
    }
    const StyleListLock third(listPath, kNoWait);
    EXPECT_TRUE(third.isHeld()) << third.error();
}

TEST(StyleListLock, AWaitingLockIsTakenWhenTheHolderLetsGo) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    ASSERT_TRUE(writeStyleList(listPath, oneStyle()));
    auto first = std::make_unique<StyleListLock>(listPath);
    ASSERT_TRUE(first->isHeld());
    bool held = false;
    std::thread waiter([&] { held = StyleListLock(listPath).isHeld(); });
    first.reset();
    waiter.join();
    EXPECT_TRUE(held);
}

TEST(StyleListLock, FollowsTheListWhenItIsReplaced) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    ASSERT_TRUE(writeStyleList(listPath, StyleList{}));
    const StyleListLock first(listPath);
    ASSERT_TRUE(first.isHeld());
    // Saving renames a new list over the locked one; the holder's work is
    // then done, and the next lock is on the list the name now points at.
    ASSERT_TRUE(writeStyleList(listPath, oneStyle()));
    const StyleListLock next(listPath, kNoWait);
    EXPECT_TRUE(next.isHeld()) << next.error();
    EXPECT_FALSE(StyleListLock(listPath, kNoWait).isHeld());
}

TEST(StyleListLock, ALibraryWithoutAListIsLockedThroughAnEmptyOne) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    {
        const StyleListLock lock(listPath);
        ASSERT_TRUE(lock.isHeld()) << lock.error();
        EXPECT_EQ(std::filesystem::file_size(listPath), 0u);
    }
    // Nothing was written: the empty list goes again.
    EXPECT_FALSE(std::filesystem::exists(listPath));
    {
        const StyleListLock lock(listPath);
        ASSERT_TRUE(lock.isHeld()) << lock.error();
        ASSERT_TRUE(writeStyleList(listPath, oneStyle()));
    }
    EXPECT_EQ(*readStyleList(listPath, 7), oneStyle());
}

TEST(StyleListLock, AListTheUserMayNotWriteIsLockedToo) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    ASSERT_TRUE(writeStyleList(listPath, oneStyle()));
    std::filesystem::permissions(listPath, std::filesystem::perms::owner_read);
    const StyleListLock lock(listPath);
    EXPECT_TRUE(lock.isHeld()) << lock.error();
}

TEST(StyleListLock, AListThatCannotBeOpenedSaysWhy) {
    ScratchFolder folder;
    const auto listPath = folder.path / kStyleListFileName;
    std::filesystem::create_directory(listPath);
    const StyleListLock lock(listPath);
    EXPECT_FALSE(lock.isHeld());
    EXPECT_EQ(lock.error(), "cannot lock the style list " + listPath.string() + ": Is a directory");
}
