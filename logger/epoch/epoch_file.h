// The grid time's epoch, kept in the record's folder so that a restart goes on with it: a small
// text file, replaced whole, written by an output of its own at most every kWriteEvery.
#pragma once

#include "grid/grid_time_epoch.h"
#include "logger/output/output.h"

#include <memory>
#include <optional>
#include <string>

namespace cyclara::logger {

inline constexpr const char* kEpochFileName = "grid-time-epoch";

// None when the folder holds no epoch, or one that cannot be read whole.
std::optional<EpochState> ReadEpochFile(const std::string& folder);

struct KeptEpoch {
    std::optional<EpochState> state;
    std::string damage;  // a sentence naming the file, where one was kept and cannot be read
};
// For a run's start: the state kept in the folder, or why what is kept there cannot be read.
// A damaged file is moved aside (".damaged") for the user to see; something that is not a
// file (a folder, a pipe) is never opened.
KeptEpoch TakeKeptEpoch(const std::string& folder);
bool WriteEpochFile(const std::string& folder, const EpochState& state);

std::unique_ptr<Output> OpenEpochOutput(const std::string& folder,
                                        std::shared_ptr<DeliveryThread> thread = {});

}  // namespace cyclara::logger
