#include "simulator/sim_options.h"

#include "command_line/command_line.h"

namespace cyclara::simulator {

namespace {

// The pulses and the text lines: what the device sends and when.
void AddSignalOptions(CLI::App& app, SimOptions& o) {
    app.add_option("--period", o.periodSeconds, "Nominal pulse period in seconds (default 1)")
        ->check(CLI::Range(0.001, 3600.0));
    app.add_option("--width", o.widthSeconds, "Pulse width in seconds (default 0.1)")
        ->check(CLI::Range(0.0001, 3600.0));
    app.add_option("--offset-ppm", o.shape.offsetPpm,
                   "Constant offset: positive makes the device's seconds longer");
    app.add_option("--jitter-us", o.shape.jitterUs, "Timing jitter of each rise, s.d. in us")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--wander-ppm", o.shape.wanderPpm,
                   "Bound of a slow random wander of the mains frequency, in ppm")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--skip", o.skip, "Pulse numbers (from 1) whose edges are lost");
    app.add_option("--spurious-after", o.spuriousAfter,
                   "A spurious pulse (interference, contact bounce) after pulse N's rise; "
                   "numbered -N in the events");
    app.add_option("--spurious-delay", o.spuriousDelaySeconds,
                   "How long after that rise the spurious pulse comes (default 0.3 s)");
    app.add_option("--frequency", o.frequency, "Figure of the text lines: 50 or 60")
        ->check(CLI::IsMember({50, 60}));
    app.add_option("--line-every", o.lineEvery, "A text line after every Nth pulse; 0 for none")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--line-lead", o.lineLeadSeconds,
                   "Send each text line this long before its pulse's rise, not after its fall")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--text", o.text,
                   "The text lines' bytes, as given, instead of the frequency and Hz");
    app.add_option("--noise", o.noiseBytes, "A line of N random bytes before each text line")
        ->check(CLI::Range(0, 200));
}

// How long it runs, its faults, and the program it runs for.
void AddRunOptions(CLI::App& app, SimOptions& o) {
    app.add_flag("--polling-only", o.pollingOnly,
                 "Play a driver without TIOCMIWAIT: programs must poll the modem lines");
    app.add_option("--clock", o.clock,
                   "The clock state the started program reads: unsynchronised, or "
                   "synchronised:PPM with that frequency correction (default: the machine's)")
        ->type_name("STATE");
    CLI::Option* profile =
        app.add_option("--profile", o.profile,
                       "A CSV of time,hertz the grid's frequency follows, in straight lines "
                       "between the points; the time in seconds from the start or as UTC (the "
                       "--frequency figure is the nominal)")
            ->type_name("FILE");
    app.add_option("--replay", o.replay,
                   "Play a recording instead: cyclara-log's record (.csv or .csv.gz), or the "
                   "open power-grid-frequency database's one-second file (UTC time, deviation "
                   "in mHz)")
        ->excludes(profile)
        ->type_name("FILE");
    app.add_option("--slew", o.slew,
                   "PPM:AFTER:FOR: the started program's CLOCK_MONOTONIC runs PPM fast from AFTER "
                   "seconds for FOR seconds, as while a time daemon slews")
        ->type_name("PPM:AFTER:FOR");
    app.add_flag("--reference", o.reference.on,
                 "A PPS on DCD beside the pulses, as from a GPS receiver; each rise is a "
                 "\"reference\" event");
    app.add_option("--reference-ppm", o.reference.offsetPpm,
                   "Positive makes the reference's seconds longer than the machine's");
    app.add_option("--reference-jitter-us", o.reference.jitterUs,
                   "Timing jitter of each reference rise, s.d. in us")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--reference-count", o.reference.count,
                   "Reference rises before it falls silent, as a receiver losing its fix")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--utc-start", o.utcStart,
                   "The UTC time the started program's clock reads at the start, e.g. "
                   "2026-12-07T23:59:45Z, so a run crosses a midnight whenever it is made")
        ->type_name("UTC");
    app.add_option("--count", o.count, "Pulses to send; 0 runs until stopped")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--remove-after", o.removeAfter,
                   "Pull the device out after this many pulses (again after as many more, "
                   "when it comes back)");
    app.add_option("--back-after", o.backAfterSeconds,
                   "Plug the device back in this many seconds after each removal (default: "
                   "never)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--seed", o.shape.seed, "Seed of the random jitter, wander and noise");
    app.add_option("--as", o.as, "Device path that leads to the pty in the started program");
    app.add_option("--group", o.group,
                   "Give the device to this group, read and write, as udev gives serial "
                   "adapters to dialout, for a program started as another user");
    app.add_option("--events", o.events,
                   "File for the event lines (default: standard output without a command, "
                   "none with one)");
    app.add_option("command", o.command, "Program to start, after --")->expected(-1);
}

}  // namespace

int ParseOptions(int argc, char** argv, SimOptions& o) {
    CLI::App app{"Plays Cyclara's measuring device on a pseudo-terminal with emulated modem lines.",
                 "cyclara-sim"};
    AddSignalOptions(app, o);
    AddRunOptions(app, o);
    if (const int ended = ParseCommandLine(app, argc, argv); ended >= 0) {
        return ended;
    }
    if (o.widthSeconds >= o.periodSeconds) {
        return UsageError(app.get_name(), "the width must be shorter than the period");
    }
    // A device pulled out comes back on another slot, which the reference's thread would
    // not follow.
    if (o.reference.on && o.removeAfter != 0) {
        return UsageError(app.get_name(), "--reference does not go with --remove-after");
    }
    o.reference.seed = o.shape.seed;
    return -1;
}

}  // namespace cyclara::simulator
