#include "simulator/plug.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace cyclara::simulator {

void GiveToGroup(const std::string& path, gid_t group) {
    if (group != static_cast<gid_t>(-1) &&
        (chown(path.c_str(), static_cast<uid_t>(-1), group) != 0 ||
         chmod(path.c_str(), 0660) != 0)) {
        throw std::runtime_error("cannot give " + path + " to the group");
    }
}

HeldSlave::HeldSlave(const std::string& path)
    : m_fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    termios raw{};
    if (m_fd < 0 || tcgetattr(m_fd, &raw) != 0) {
        if (m_fd >= 0) {
            close(m_fd);  // no destructor runs for an object whose constructor threw
        }
        throw std::runtime_error("cannot open " + path);
    }
    cfmakeraw(&raw);
    tcsetattr(m_fd, TCSANOW, &raw);
}

HeldSlave::~HeldSlave() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

Plug::Plug(ModemControl& modem, std::string link, gid_t group, bool polling)
    : m_modem(modem), m_link(std::move(link)), m_group(group), m_polling(polling) {
    Insert();
}

Plug::~Plug() {
    Pull();
    m_modem.Detach(m_slot);
}

void Plug::Pull() {
    if (!m_pty) {
        return;
    }
    m_modem.Remove(m_slot);
    m_pty->CloseMaster();
    unlink(m_link.c_str());
    m_held.reset();
    m_pty.reset();
}

void Plug::Insert() {
    if (m_slot >= 0) {
        m_modem.Detach(m_slot);
    }
    m_pty = std::make_unique<Pty>();
    GiveToGroup(m_pty->SlavePath(), m_group);
    m_held = std::make_unique<HeldSlave>(m_pty->SlavePath());
    m_slot = m_modem.Attach(m_pty->SlavePath());
    m_modem.SetNoWait(m_slot, m_polling);
    // Made beside and renamed over, so the link is never missing while it moves.
    const std::string made = m_link + ".new";
    unlink(made.c_str());
    if (symlink(m_pty->SlavePath().c_str(), made.c_str()) != 0 ||
        rename(made.c_str(), m_link.c_str()) != 0) {
        throw std::runtime_error("cannot link " + m_link);
    }
}
}  // namespace cyclara::simulator
