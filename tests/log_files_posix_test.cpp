#include "measure/log_files.h"
#include "measure/measurement_log.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

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

// Files may grow to `bytes` while it lives, as on a disk about to be full; a write past that
// fails (EFBIG) instead of ending the process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    sighandler_t m_oldHandler;
};

TEST(MeasurementLogTest, ARowThatDoesNotFitIsLeftOutWhole) {
    TempFolder folder;
    MeasurementLog log([] { return LocalTime{2024, 1, 5, 9, 3, 7}; },
                       {[&] { return folder.WithSeparator(); }});
    log.WriteLog(kLogCreate, 0, 0, 0, 0, 0);
    log.WriteLog(kLogAppend, 0, 0, 0, '+', 1);
    {
        FileSizeLimit full(40);  // room for 8 of the next row's 33 bytes
        log.WriteLog(kLogAppend, 0, 10, 0, '+', 2);
    }
    log.WriteLog(kLogAppend, 0, 20, 0, '+', 3);
    EXPECT_EQ(ReadWholeFile(log.Path()),
              "2024/01/05 09:03:07,0:00:00,+1\r\n2024/01/05 09:03:07,0:20:00,+3\r\n");
}

TEST(UserDataFolderTest, NoneWithoutHome) {
    ScopedEnvironment xdg("XDG_DATA_HOME", nullptr);
    ScopedEnvironment home("HOME", nullptr);
    EXPECT_EQ(UserDataFolder(), "");
}
}  // namespace
}  // namespace cyclara::testing
