#include "measure/log_files.h"

#include <atomic>

namespace cyclara {

namespace {

// Set by a test's thread, read by every writer's.
std::atomic<bool> g_full{false};

}  // namespace

void SimulateFullDisk(bool full) {
    g_full = full;
}

bool DiskSimulatedFull() {
    return g_full;
}

}  // namespace cyclara
