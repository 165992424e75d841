#include "measure/log_files.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace cyclara::testing {
namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(UserDataFolderTest, IsCreatedUnderXdgDataHome) {
    TempFolder home;
    const std::string base = home.WithSeparator() + "data";
    ScopedEnvironment xdg("XDG_DATA_HOME", base.c_str());
    EXPECT_EQ(UserDataFolder(), base + "/cyclara/");
    EXPECT_TRUE(std::filesystem::is_directory(base + "/cyclara"));
    EXPECT_EQ(UserDataFolder(), base + "/cyclara/") << "an existing folder is fine";
}

TEST(UserDataFolderTest, DefaultsToLocalShareUnderHome) {
    TempFolder home;
    ScopedEnvironment homeVariable("HOME", home.Path().c_str());
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/path"}) {
        ScopedEnvironment xdg("XDG_DATA_HOME", ignored);
        EXPECT_EQ(UserDataFolder(), home.WithSeparator() + ".local/share/cyclara/");
    }
}

TEST(UserDataFolderTest, NoneWithoutHome) {
    ScopedEnvironment xdg("XDG_DATA_HOME", nullptr);
    ScopedEnvironment home("HOME", nullptr);
    EXPECT_EQ(UserDataFolder(), "");
}
}  // namespace
}  // namespace cyclara::testing
