#include "measure/log_files.h"
#include "measure/measurement_log.h"
#include "tests/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
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

// XDG_DATA_HOME when it is absolute, else ~/.local/share; none without a home. The folder is
// created, and one that exists already is fine.
TEST(UserDataFolderTest, FollowsXdgDataHomeThenHome) {
    TempFolder home;
    const std::string xdg = home.WithSeparator() + "data";
    const std::string local = home.WithSeparator() + ".local/share/cyclara/";
    const struct {
        const char* xdg;
        const char* home;
        std::string folder;
    } cases[] = {
        {xdg.c_str(), nullptr, xdg + "/cyclara/"},     {xdg.c_str(), nullptr, xdg + "/cyclara/"},
        {nullptr, home.Path().c_str(), local},         {"", home.Path().c_str(), local},
        {"relative/path", home.Path().c_str(), local}, {nullptr, nullptr, ""}};
    for (const auto& c : cases) {
        ScopedEnvironment xdgVariable("XDG_DATA_HOME", c.xdg);
        ScopedEnvironment homeVariable("HOME", c.home);
        EXPECT_EQ(UserDataFolder(), c.folder) << (c.xdg ? c.xdg : "-");
        EXPECT_TRUE(c.folder.empty() || std::filesystem::is_directory(c.folder));
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

// A log deleted mid-run is the user's choice: the rows after it go nowhere, quietly, and no
// file of that name appears again to hold half a run.
TEST(MeasurementLogTest, ALogDeletedMidRunStaysDeleted) {
    TempFolder folder;
    MeasurementLog log([] { return LocalTime{2024, 1, 5, 9, 3, 7}; },
                       {[&] { return folder.WithSeparator(); }});
    log.WriteLog(kLogCreate, 0, 0, 0, 0, 0);
    log.WriteLog(kLogAppend, 0, 0, 0, '+', 1);
    ASSERT_TRUE(std::filesystem::remove(log.Path()));
    log.WriteLog(kLogAppend, 0, 10, 0, '+', 2);
    EXPECT_FALSE(std::filesystem::exists(log.Path()));
}

}  // namespace
}  // namespace cyclara::testing
