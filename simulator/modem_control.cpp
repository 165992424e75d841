#include "simulator/modem_control.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <stdexcept>
#include <thread>

namespace cyclara::simulator {

namespace {

int64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

template <class T>
void Store(T& field, T value) {
    __atomic_store_n(&field, value, __ATOMIC_RELEASE);
}

template <class T>
T Load(const T& field) {
    return __atomic_load_n(&field, __ATOMIC_ACQUIRE);
}

}  // namespace

ModemControl::ModemControl(std::string path) : m_path(std::move(path)) {
    const int fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ftruncate(fd, sizeof(ModemLinesBlock)) != 0) {
        throw std::runtime_error("cannot create " + m_path);
    }
    void* memory =
        mmap(nullptr, sizeof(ModemLinesBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) {
        throw std::runtime_error("cannot map " + m_path);
    }
    m_block = static_cast<ModemLinesBlock*>(memory);
    Store(m_block->magic, CYCLARA_MODEM_LINES_MAGIC);
    setenv(CYCLARA_MODEM_LINES_VARIABLE, m_path.c_str(), 1);
}

ModemControl::~ModemControl() {
    munmap(m_block, sizeof(ModemLinesBlock));
    unlink(m_path.c_str());
}

ModemControl& ModemControl::ForThisProcess() {
    static ModemControl control("/tmp/cyclara-modem-lines-" + std::to_string(getpid()));
    return control;
}

int ModemControl::Attach(const std::string& slavePath) {
    struct stat status {};
    if (stat(slavePath.c_str(), &status) != 0) {
        throw std::runtime_error("no device " + slavePath);
    }
    for (int slot = 0; slot < CYCLARA_MODEM_LINES_SLOTS; ++slot) {
        EmulatedLine& line = m_block->slots[slot];
        if (Load(line.rdev) == 0) {
            Store(line.lines, 0u);
            Store(line.dsrCount, 0u);
            Store(line.removed, 0u);
            Store(line.noWait, 0u);
            Store(line.waitEntries, 0u);
            Store(line.statusReads, 0u);
            Store(line.faultRequest, 0u);
            Store(line.stallMilliseconds, 0u);
            m_atLastChange[slot] = {};
            Store(line.rdev, static_cast<uint64_t>(status.st_rdev));
            return slot;
        }
    }
    throw std::runtime_error("no free modem slot");
}

void ModemControl::Detach(int slot) {
    Store(m_block->slots[slot].rdev, uint64_t{0});
    Publish(slot);
}

void ModemControl::SetDsr(int slot, bool on) {
    EmulatedLine& line = m_block->slots[slot];
    const uint32_t lines = Load(line.lines);
    if (((lines & TIOCM_DSR) != 0) == on) {
        return;
    }
    __atomic_fetch_xor(&line.lines, static_cast<uint32_t>(TIOCM_DSR), __ATOMIC_ACQ_REL);
    __atomic_fetch_add(&line.dsrCount, 1u, __ATOMIC_ACQ_REL);
    Publish(slot);
}

int64_t ModemControl::SetDcd(int slot, bool on) {
    EmulatedLine& line = m_block->slots[slot];
    const int64_t now = MonotonicNanoseconds();
    if (((Load(line.lines) & TIOCM_CD) != 0) != on) {
        __atomic_fetch_xor(&line.lines, static_cast<uint32_t>(TIOCM_CD), __ATOMIC_ACQ_REL);
        __atomic_fetch_add(&line.dcdCount, 1u, __ATOMIC_ACQ_REL);
        __atomic_fetch_add(&line.sequence, 1u, __ATOMIC_ACQ_REL);
        syscall(SYS_futex, &line.sequence, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
    }
    return now;
}

std::optional<int64_t> ModemControl::DcdSeenNanoseconds(int slot, uint32_t count) const {
    const EmulatedLine& line = m_block->slots[slot];
    if (Load(line.dcdSeenCount) != count) {
        return std::nullopt;
    }
    return Load(line.dcdSeenNanoseconds);
}

uint32_t ModemControl::DcdCount(int slot) const {
    return Load(m_block->slots[slot].dcdCount);
}

void ModemControl::PulseDsr(int slot) {
    __atomic_fetch_add(&m_block->slots[slot].dsrCount, 2u, __ATOMIC_ACQ_REL);
    Publish(slot);
}

void ModemControl::Remove(int slot) {
    Store(m_block->slots[slot].removed, 1u);
    Publish(slot);
}

void ModemControl::FailCalls(int slot, unsigned long request, uint32_t after, uint32_t count,
                             int error) {
    EmulatedLine& line = m_block->slots[slot];
    Store(line.faultRequest, 0u);
    Store(line.faultCalls, 0u);
    Store(line.faultAfter, after);
    Store(line.faultCount, count);
    Store(line.faultErrno, static_cast<uint32_t>(error));
    Store(line.faultRequest, static_cast<uint32_t>(request));
}

void ModemControl::Stall(int slot, std::chrono::milliseconds stall) {
    Store(m_block->slots[slot].stallMilliseconds, static_cast<uint32_t>(stall.count()));
}

void ModemControl::SetNoWait(int slot, bool noWait) {
    Store(m_block->slots[slot].noWait, noWait ? 1u : 0u);
}

bool ModemControl::WaitUntilWatched(int slot, std::chrono::milliseconds timeout) {
    const EmulatedLine& line = m_block->slots[slot];
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const Watched& before = m_atLastChange[slot];
    // Quick looks first, as the program is usually back within microseconds; then slower ones,
    // so that a long wait costs little.
    int looks = 0;
    while (Load(line.waitEntries) == before.waitEntries &&
           Load(line.statusReads) - before.statusReads < 2) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        ++looks;
        std::this_thread::sleep_for(looks < 20 ? std::chrono::microseconds(50)
                                               : std::chrono::microseconds(1000));
    }
    return true;
}

uint32_t ModemControl::StatusReads(int slot) const {
    return Load(m_block->slots[slot].statusReads);
}

uint32_t ModemControl::WaitEntries(int slot) const {
    return Load(m_block->slots[slot].waitEntries);
}

int64_t ModemControl::EdgeNanoseconds(int slot) const {
    return Load(m_block->slots[slot].edgeNanoseconds);
}

std::optional<int64_t> ModemControl::SeenNanoseconds(int slot) const {
    const EmulatedLine& line = m_block->slots[slot];
    if (Load(line.seenSequence) != Load(line.sequence)) {
        return std::nullopt;
    }
    return Load(line.seenNanoseconds);
}

void ModemControl::Publish(int slot) {
    EmulatedLine& line = m_block->slots[slot];
    m_atLastChange[slot] = {Load(line.waitEntries), Load(line.statusReads)};
    Store(line.edgeNanoseconds, MonotonicNanoseconds());
    __atomic_fetch_add(&line.sequence, 1u, __ATOMIC_ACQ_REL);
    syscall(SYS_futex, &line.sequence, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace cyclara::simulator
