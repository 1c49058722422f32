// FolderLockTest.cpp - the running program's mark on its data folder.
#include "app/FolderLock.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <utility>

// Any number of running programs may hold the mark; tarvell-config sees it until the last ends.
TEST(FolderInUse, WhileAnyMarkLivesAndNoLonger)
{
    CTempFolder dir;
    EXPECT_FALSE(FolderInUse(dir.Dir()));
    {
        CFolderInUse first(dir.Dir());
        CFolderInUse second(dir.Dir());
        EXPECT_TRUE(FolderInUse(dir.Dir()));
        CFolderInUse moved(std::move(first));
        EXPECT_TRUE(FolderInUse(dir.Dir()));
    }
    EXPECT_FALSE(FolderInUse(dir.Dir()));
    EXPECT_FALSE(FolderInUse(dir.Path("missing/")));
}
