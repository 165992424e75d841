#include "logger/record/record_output.h"

#include "logger/record/pulse_record.h"
#include "record/record_layout.h"
#include "logger/period_figures.h"
#include "measure/time_spans.h"
#include "measure/wall_clock.h"

namespace cyclara::logger {

namespace {

using namespace std::chrono_literals;

// A day at one pulse a second; the file is tried again after 1 s, then twice as long each
// time, at most a minute. Each row is written as its pulse comes: a logger killed (by a
// watchdog, by the kernel short of memory) loses none of its record.
constexpr OutputPolicy kRecordPolicy{
    .queueLimit = 86'400, .batchLimit = 1000, .closeWait = 3000ms};

int64_t DayOf(int64_t unixNanoseconds) {
    return PeriodOf(unixNanoseconds, kDayNs);
}

std::string AsFolder(const std::string& path) {
    const char last = path.empty() ? '/' : path.back();
    return last == '/' || last == '\\' ? path : path + "/";
}

class RecordDestination : public Destination {
  public:
    explicit RecordDestination(const std::string& folder) : m_record(AsFolder(folder)) {}

    // Rows that cannot be written now stay queued; rows the queue had to drop are marked by
    // an "unrecorded N" row before the next that is written, so the record never has a
    // silent gap. A day's rows of one batch go to its file in one write.
    Delivery Deliver(const std::vector<PulseReport>& batch, uint64_t missed) override {
        const int64_t first = batch.front().unixNanoseconds;
        std::string rows = missed > 0 ? FormatUnrecordedRow(first, missed) : "";
        int64_t day = DayOf(first);
        size_t written = 0;  // of the batch's rows, those already in their files
        for (size_t i = 0; i < batch.size(); ++i) {
            const int64_t rowDay = DayOf(batch[i].unixNanoseconds);
            if (rowDay != day) {
                if (!Append(batch[written].unixNanoseconds, rows)) {
                    return Unwritable(written);
                }
                written = i;
                rows.clear();
                day = rowDay;
            }
            rows += FormatRecordRow(batch[i]);
        }
        if (!Append(batch[written].unixNanoseconds, rows)) {
            return Unwritable(written);
        }
        return Delivery::All(batch.size());
    }

  private:
    bool Append(int64_t unixNanoseconds, const std::string& row) {
        return m_record.Append(UtcDate(unixNanoseconds), row);
    }

    Delivery Unwritable(size_t delivered) const {
        return {delivered, Delivery::Trouble::kPassing,
                "the record cannot be written in " + m_record.Folder() +
                    "; its rows are kept (a day's at most) until it can"};
    }

    PulseRecord m_record;
};

}  // namespace

std::unique_ptr<Output> OpenRecordOutput(const std::string& folder,
                                         std::shared_ptr<DeliveryThread> thread) {
    return std::make_unique<Output>("the record", std::make_unique<RecordDestination>(folder),
                                    kRecordPolicy, nullptr, std::move(thread));
}

}  // namespace cyclara::logger
