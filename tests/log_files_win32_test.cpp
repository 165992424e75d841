#include "measure/log_files.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace cyclara::testing {
namespace {

TEST(UserDataFolderTest, IsCreatedUnderLocalAppData) {
    TempFolder base;
    const std::string local = base.Path().string();
    char old[MAX_PATH + 1] = "";
    GetEnvironmentVariableA("LOCALAPPDATA", old, sizeof old);
    SetEnvironmentVariableA("LOCALAPPDATA", local.c_str());
    EXPECT_EQ(UserDataFolder(), local + "\\Cyclara\\");
    EXPECT_TRUE(std::filesystem::is_directory(local + "\\Cyclara"));
    EXPECT_EQ(UserDataFolder(), local + "\\Cyclara\\") << "an existing folder is fine";
    SetEnvironmentVariableA("LOCALAPPDATA", old);
}

}  // namespace
}  // namespace cyclara::testing
