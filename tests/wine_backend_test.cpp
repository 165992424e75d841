// The Windows serial backend for real: the 64-bit probe runs under wine64 with a pseudo-
// terminal mapped as COM5 and the modem-line emulation loaded into wine, whose serial layer
// reads DSR with TIOCMGET and TIOCGICOUNT. Timing here is wine's, not Windows'.
#include "simulator/modem_control.h"
#include "simulator/pty.h"

#include <asm/termbits.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace cyclara::testing {
using simulator::ModemControl;
using simulator::Pty;

namespace {

using Clock = std::chrono::steady_clock;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A child process with pipes to its standard input and output.
class Child {
  public:
    Child(const std::vector<std::string>& command, const std::string& folder) {
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        m_pid = fork();
        if (m_pid == 0) {
            dup2(input[0], 0);
            dup2(output[1], 1);
            if (chdir(folder.c_str()) != 0) {
                _exit(126);
            }
            std::vector<char*> argv;
            for (const std::string& word : command) {
                argv.push_back(const_cast<char*>(word.c_str()));
            }
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        m_input = input[1];
        m_output = output[0];
    }
    ~Child() {
        close(m_input);
        close(m_output);
        if (m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }

    void Tell(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(write(m_input, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }

    // Reads lines until one equals `wanted`; false if none did within `timeout`.
    bool WaitForLine(const std::string& wanted, std::chrono::seconds timeout) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            for (size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
                // Windows' standard output writes CR LF.
                std::string line = m_pending.substr(0, end);
                m_pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                lines.push_back(line);
                if (line == wanted) {
                    return true;
                }
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd readable{m_output, POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char buffer[512];
            const ssize_t count = read(m_output, buffer, sizeof buffer);
            if (count <= 0) {
                return false;
            }
            m_pending.append(buffer, static_cast<size_t>(count));
        }
    }

    int Wait() {
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::vector<std::string> lines;

  private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_output = -1;
    std::string m_pending;
};

// Maps COM5 of the prefix to the pty slave, replacing whatever wine put there.
void MapCom5(const std::string& prefix, const std::string& slave) {
    const std::filesystem::path link = std::filesystem::path(prefix) / "dosdevices" / "com5";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(slave, link);
}

// The probe under wine with COM5 open on a pty and its receive thread started.
class WineBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string probe = Environment("CYCLARA_WIN_PROBE");
        const std::string preload = Environment("CYCLARA_MODEM_PRELOAD");
        const std::string runner = Environment("CYCLARA_WINE_RUN");
        if (probe.empty() || preload.empty() || runner.empty()) {
            GTEST_SKIP() << "run from the Windows build's tests";
        }
        m_slot = m_modem.Attach(m_pty.SlavePath());
        setenv("LD_PRELOAD", preload.c_str(), 1);
        m_child = std::make_unique<Child>(std::vector<std::string>{runner, probe},
                                          std::filesystem::path(probe).parent_path().string());
        unsetenv("LD_PRELOAD");
        ASSERT_TRUE(m_child->WaitForLine("ready", std::chrono::seconds(120)));
        MapCom5(Environment("CYCLARA_WINEPREFIX"), m_pty.SlavePath());
    }

    void TearDown() override {
        if (m_child) {
            m_child->Tell("quit");
            EXPECT_EQ(m_child->Wait(), 0);
            for (const std::string& line : m_child->lines) {
                std::printf("probe: %s\n", line.c_str());
            }
            m_modem.Detach(m_slot);
        }
    }

    void OpenAndStart(int32_t rate) {
        m_child->Tell("open 5 " + std::to_string(rate));
        ASSERT_TRUE(m_child->WaitForLine("open 1", std::chrono::seconds(20)));
        m_child->Tell("start");
        ASSERT_TRUE(m_child->WaitForLine("started", std::chrono::seconds(20)));
        // Wine reads the lines about every 10 ms: edges are spaced well beyond that.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    void Edge(bool on) {
        m_modem.SetDsr(m_slot, on);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }

    void ExpectPromptStop() {
        m_child->Tell("stop");
        EXPECT_TRUE(m_child->WaitForLine("ended forced=0", std::chrono::seconds(20)));
        EXPECT_TRUE(m_child->WaitForLine("closed", std::chrono::seconds(20)));
    }

    Pty m_pty;
    ModemControl& m_modem = ModemControl::ForThisProcess();
    int m_slot = -1;
    std::unique_ptr<Child> m_child;
};

TEST_F(WineBackendTest, OpensConfiguresAndMeasures) {
    // Opened first, so that the port's exclusive use does not shut this reader out.
    const int reader = open(m_pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // Wine maps rates to the kernel's B constants, so it cannot set 14400 as Windows can.
    OpenAndStart(19200);
    termios2 settings{};
    ASSERT_EQ(ioctl(reader, TCGETS2, &settings), 0);
    close(reader);
    EXPECT_EQ(settings.c_ospeed, 19200u);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);

    for (int pulse = 0; pulse < 5; ++pulse) {
        Edge(true);
        Edge(false);
    }
    EXPECT_TRUE(m_child->WaitForLine("field 1004     0:00:02", std::chrono::seconds(20)));
    m_pty.Send("60Hz\r\n");
    EXPECT_TRUE(m_child->WaitForLine("field 1007 60", std::chrono::seconds(20)));
    ExpectPromptStop();
}

TEST_F(WineBackendTest, ARemovedDeviceUnlightsTheLampAndStillStops) {
    OpenAndStart(9600);
    Edge(true);
    ASSERT_TRUE(m_child->WaitForLine("led lit", std::chrono::seconds(20)));
    m_modem.Remove(m_slot);
    m_pty.CloseMaster();
    EXPECT_TRUE(m_child->WaitForLine("led unlit", std::chrono::seconds(20)));
    ExpectPromptStop();
}

}  // namespace
}  // namespace cyclara::testing
