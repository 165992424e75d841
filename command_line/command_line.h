// The command line of Cyclara's console programs, read one way: help and the version on
// standard output with exit 0, a usage error as one line on standard error with exit 2.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

namespace cyclara {

inline constexpr int kExitUsage = 2;

// Says "PROGRAM: PROBLEM; see PROGRAM --help" on standard error; the exit code of a usage error.
inline int UsageError(const std::string& program, const std::string& problem) {
    std::fprintf(stderr, "%s: %s; see %s --help\n", program.c_str(), problem.c_str(),
                 program.c_str());
    return kExitUsage;
}

// Reads the command line into `app`'s options: the exit code when the program should end
// here, else -1.
inline int ParseCommandLine(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::printf("%s\n", version.what());
        return 0;
    } catch (const CLI::ParseError& error) {
        return UsageError(app.get_name(), error.what());
    }
    return -1;
}

}  // namespace cyclara
