// The device as plugged in, and pulled out and back as a USB adapter is.
#pragma once

#include "simulator/modem_control.h"
#include "simulator/pty.h"

#include <sys/types.h>

#include <memory>
#include <string>

namespace cyclara::simulator {

// Keeps the slave open in raw mode for the whole run, so that bytes sent before a program
// opens it arrive unchanged (no CR to LF mapping, no echo) and a program that closes and
// reopens the port finds the line as it left it.
class HeldSlave {
  public:
    explicit HeldSlave(const std::string& path);
    ~HeldSlave();
    int Fd() const { return m_fd; }
    HeldSlave(const HeldSlave&) = delete;
    HeldSlave& operator=(const HeldSlave&) = delete;

  private:
    const int m_fd;
};

// A pty and the modem-line block are their creator's alone; this lets `group` open them.
void GiveToGroup(const std::string& path, gid_t group);

// The device as plugged in: its pty, the slave held open, its modem-line slot, and the link
// through which the started program opens it. Pulling it out hangs the line up and takes the
// link away; plugging it back makes a new pty, as a USB adapter comes back as a new device.
class Plug {
  public:
    // `polling`: the driver it plays has no TIOCMIWAIT, so programs must poll its lines.
    Plug(ModemControl& modem, std::string link, gid_t group, bool polling);
    ~Plug();
    Plug(const Plug&) = delete;
    Plug& operator=(const Plug&) = delete;

    void Pull();
    void Insert();

    const std::string& Link() const { return m_link; }
    const std::string& SlavePath() const { return m_pty->SlavePath(); }
    Pty& Line() { return *m_pty; }
    int HeldFd() const { return m_held->Fd(); }
    int Slot() const { return m_slot; }

  private:
    ModemControl& m_modem;
    const std::string m_link;
    const gid_t m_group;  // -1: the pty stays its creator's
    const bool m_polling;
    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<HeldSlave> m_held;
    int m_slot = -1;
};

}  // namespace cyclara::simulator
