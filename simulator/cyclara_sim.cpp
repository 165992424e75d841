// cyclara-sim: plays the measuring device on a pseudo-terminal, with emulated modem lines: a
// DSR pulse once per (simulated) second and a text line such as "50Hz\r\n" after it. Started
// with a command, it runs that program with the emulation loaded and one device path (by
// default /dev/ttyUSB0, COM5) leading to its pty, and ends when the program ends.
#include "simulator/child_program.h"
#include "simulator/device.h"
#include "simulator/frequency_profile.h"
#include "simulator/modem_control.h"
#include "simulator/plug.h"
#include "simulator/run_signals.h"
#include "simulator/sim_options.h"

#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <cstdlib>
#include <exception>
#include <string>

namespace cyclara::simulator {
namespace {

std::FILE* OpenEvents(const SimOptions& o) {
    if (!o.events.empty()) {
        return std::fopen(o.events.c_str(), "w");
    }
    return o.command.empty() ? stdout : nullptr;
}

std::string RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime != nullptr && *runtime == '/' ? runtime : "/tmp";
}

int Simulate(SimOptions o) {
    std::optional<FrequencyProfile> profile;
    if (!o.profile.empty() || !o.replay.empty()) {
        std::string whyNot;
        profile = o.replay.empty() ? FrequencyProfile::Read(o.profile, whyNot)
                                   : FrequencyProfile::ReadReplay(o.replay, o.frequency, whyNot);
        if (!profile) {
            std::fprintf(stderr, "cyclara-sim: %s\n", whyNot.c_str());
            return 2;
        }
        o.shape.profile = &*profile;
        o.shape.nominalHz = o.frequency;
    }
    const std::string stem = RuntimeFolder() + "/cyclara-sim-" + std::to_string(getpid());
    gid_t group = static_cast<gid_t>(-1);
    if (!o.group.empty()) {
        const struct group* entry = getgrnam(o.group.c_str());
        if (entry == nullptr) {
            std::fprintf(stderr, "cyclara-sim: no group %s\n", o.group.c_str());
            return 2;
        }
        group = entry->gr_gid;
    }
    ModemControl modem(stem);
    GiveToGroup(modem.Path(), group);
    Plug plug(modem, stem + ".device", group, o.pollingOnly);
    ExportForChild(o.as, plug.Link());
    if (!o.clock.empty()) {
        setenv(CYCLARA_CLOCK_VARIABLE, o.clock.c_str(), 1);
    }
    if (!ExportUtcStart(o.utcStart)) {
        std::fprintf(stderr, "cyclara-sim: --utc-start takes a UTC time, not %s\n",
                     o.utcStart.c_str());
        return 2;
    }
    if (!ExportSlew(o.slew)) {
        std::fprintf(stderr, "cyclara-sim: --slew takes PPM:AFTER:FOR, not %s\n", o.slew.c_str());
        return 2;
    }
    std::FILE* events = OpenEvents(o);
    if (!o.events.empty() && events == nullptr) {
        std::fprintf(stderr, "cyclara-sim: cannot write %s\n", o.events.c_str());
        return 1;
    }
    std::fprintf(stderr, "cyclara-sim: device on %s; %s leads there for programs it starts\n",
                 plug.SlavePath().c_str(), o.as.c_str());
    const pid_t child = o.command.empty() ? 0 : StartChild(o.command);
    Device device(o, plug, modem, events);
    if (device.AwaitWatcher()) {
        device.Run();
    }
    const int code = FinishChild(child);
    if (events != nullptr && events != stdout) {
        std::fclose(events);
    }
    return code;
}

}  // namespace
}  // namespace cyclara::simulator

int main(int argc, char** argv) {
    using namespace cyclara::simulator;
    SimOptions options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed >= 0) {
        return parsed;
    }
    InstallRunSignals();
    try {
        return Simulate(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cyclara-sim: %s\n", error.what());
        return 1;
    }
}
