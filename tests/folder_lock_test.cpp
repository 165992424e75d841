// A record folder is one logger's at a time, until its lock goes with it.
#include "logger/folder_lock.h"

#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace cyclara::logger {
namespace {

TEST(FolderLockTest, ASecondLoggerIsRefusedUntilTheFirstLetsGo) {
    testing::TempFolder folder;
    const std::string record = folder.WithSeparator() + "record";
    std::string whyNot;
    std::unique_ptr<FolderLock> first = LockFolder(record, whyNot);
    ASSERT_TRUE(first) << whyNot;
    EXPECT_TRUE(std::filesystem::is_directory(record)) << "a new meter's folder is made";
    EXPECT_FALSE(LockFolder(record, whyNot)) << "held";
    EXPECT_NE(whyNot.find(record + " is another logger's (process "), std::string::npos)
        << whyNot;
    first.reset();
    whyNot.clear();
    EXPECT_TRUE(LockFolder(record, whyNot)) << whyNot;
}

}  // namespace
}  // namespace cyclara::logger
