// A pseudo-terminal pair: the test holds the master side, the code under test opens the slave.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace cyclara::simulator {

class Pty {
  public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
            ptsname_r(m_master, name, sizeof name) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        m_slavePath = name;
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }

    // What the device sends.
    void Send(const std::string& bytes) const {
        if (write(m_master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("pty write failed");
        }
    }

    // Hangs the line up, as a pulled-out adapter does.
    void CloseMaster() {
        if (m_master >= 0) {
            close(m_master);
            m_master = -1;
        }
    }

  private:
    int m_master = -1;
    std::string m_slavePath;
};

}  // namespace cyclara::simulator
