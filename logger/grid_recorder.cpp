#include "logger/grid_recorder.h"

#include "measure/counter.h"
#include "measure/wall_clock.h"

#include <cstdio>

namespace cyclara::logger {

namespace {

std::string AsFolder(const std::string& path) {
    const char last = path.empty() ? '/' : path.back();
    return last == '/' || last == '\\' ? path : path + "/";
}

}  // namespace

GridRecorder::GridRecorder(int nominal, const std::string& recordFolder)
    : m_counterFrequency(ReadCounterFrequency()),
      m_nominalFixed(nominal != 0),
      m_nominal(nominal),
      m_record(recordFolder.empty() ? nullptr
                                    : std::make_unique<PulseRecord>(AsFolder(recordFolder))) {}

void GridRecorder::StartRun() {
    m_clock.emplace(m_counterFrequency);
    m_clock->SetNominal(m_nominal);
    m_latest.reset();
}

void GridRecorder::OnPulse(int64_t ticks) {
    if (!m_clock) {
        return;
    }
    // Paired with the realtime clock at every pulse: a wall-clock step moves the times from
    // the next pulse on and never an interval.
    const WallPairing now = ReadWallPairing();
    const std::optional<PulseFigures> figures = m_clock->OnPulse(ticks);
    if (!figures) {
        return;
    }
    m_latest = figures;
    m_latestUnixNanoseconds = UnixNanosecondsOf(ticks, now, m_counterFrequency);
    Record(m_latestUnixNanoseconds, figures, EventOf(*figures));
}

void GridRecorder::OnFrequencyText(const std::string& text) {
    if (m_nominalFixed || (text != "50" && text != "60")) {
        return;
    }
    m_nominal = std::stoi(text);
    if (m_clock) {
        m_clock->SetNominal(m_nominal);
    }
}

void GridRecorder::RecordEvent(const std::string& event) {
    Record(ReadWallPairing().unixNanoseconds, std::nullopt, event);
}

// A row that cannot be written (a full disk, a folder gone) is left out whole and counted, and
// measuring goes on; the first row written again is preceded by one that says how many are
// missing, so the record never has a silent gap.
void GridRecorder::Record(int64_t unixNanoseconds, const std::optional<PulseFigures>& figures,
                          const std::string& event) {
    if (!m_record) {
        return;
    }
    const std::string date = UtcDate(unixNanoseconds);
    if (m_unrecorded > 0 &&
        m_record->Append(date, FormatRecordRow(unixNanoseconds, std::nullopt,
                                               "unrecorded " + std::to_string(m_unrecorded),
                                               m_counterFrequency))) {
        m_unrecorded = 0;
    }
    if (m_unrecorded == 0 &&
        m_record->Append(date, FormatRecordRow(unixNanoseconds, figures, event,
                                               m_counterFrequency))) {
        return;
    }
    if (m_unrecorded++ == 0) {
        std::fprintf(stderr,
                     "cyclara-log: the record cannot be written in %s; its rows are counted "
                     "until it can\n",
                     m_record->Folder().c_str());
    }
}

}  // namespace cyclara::logger
