// cyclara-plot: draws cyclara-log's per-pulse record files as a PNG or SVG picture.
#include "command_line/command_line.h"
#include "plot/grid_charts.h"
#include "plot/shape_charts.h"
#include "command_line/band_option.h"
#include "record/record_file.h"
#include "plot/offscreen.h"
#include "plot/stability_charts.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <cstdio>

namespace {

struct PlotOptions {
    std::vector<std::string> files;
    std::string output;
    bool localTime = false;
    int width = 1200;
    int height = 800;
    std::string title = "Mains frequency";
    cyclara::GridChoice grid;
    bool stability = false;
    bool histogram = false;
    bool profile = false;
};

int ParseOptions(int argc, char** argv, PlotOptions& o) {
    CLI::App app{"Draws cyclara-log's per-pulse record (--record) as a PNG or SVG picture.",
                 "cyclara-plot"};
    app.add_option("files", o.files, "Record files, one per UTC day")->required();
    app.add_option("-o,--output", o.output, "Picture to write: .png or .svg")->required();
    app.add_flag("--local", o.localTime, "Time axis in local time (default: UTC)");
    app.add_option("--width", o.width, "Width in pixels")->check(CLI::Range(300, 10000));
    app.add_option("--height", o.height, "Height in pixels")->check(CLI::Range(200, 10000));
    app.add_option("--title", o.title, "Title above the frequency");
    cyclara::AddGridOptions(app, o.grid);
    app.add_flag("--histogram", o.histogram,
                 "Draw how often each frequency was read on the last day, beside the day "
                 "before when the files hold it, with the grid's bands");
    app.add_flag("--profile", o.profile,
                 "Draw the mean of each UTC minute of the day over the days given (with "
                 "--histogram: below it)");
    app.add_flag("--stability", o.stability,
                 "Draw the Allan deviation and the time deviation against the averaging time "
                 "instead: at short times the timing path, at long times the grid");
    return cyclara::ParseCommandLine(app, argc, argv);
}

// The rows of every file, in time order; false, having said why, when a file gave none.
bool ReadRecords(const std::vector<std::string>& files,
                 std::vector<cyclara::RecordRow>& rows) {
    bool allRead = true;
    for (const std::string& file : files) {
        const cyclara::ParsedRecord read = cyclara::ReadRecordFile(file);
        if (!read.problem.empty()) {
            std::fprintf(stderr, "cyclara-plot: %s: %s\n", file.c_str(), read.problem.c_str());
            allRead = false;
            continue;
        }
        if (read.firstBadLine != 0) {
            std::fprintf(stderr,
                         "cyclara-plot: %s: line %zu, and any other that is not a record row, "
                         "is left out\n",
                         file.c_str(), read.firstBadLine);
        }
        rows.insert(rows.end(), read.rows.begin(), read.rows.end());
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return a.unixMilliseconds < b.unixMilliseconds;
    });
    return allRead;
}

}  // namespace

int main(int argc, char** argv) {
    PlotOptions options;
    const int parsed = ParseOptions(argc, argv, options);
    if (parsed >= 0) {
        return parsed;
    }
    // The time axis shows local time: UTC is made this process's local time unless the user
    // asked for the machine's.
    if (!options.localTime) {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    const std::unique_ptr<QTemporaryDir> runtime = cyclara::plot::DrawWithoutAScreen();
    QApplication application(argc, argv);
    std::vector<cyclara::RecordRow> rows;
    if (!ReadRecords(options.files, rows)) {
        return 1;
    }
    cyclara::plot::ChartOptions chart;
    chart.size = QSize(options.width, options.height);
    chart.localTime = options.localTime;
    chart.title = QString::fromStdString(options.title);
    chart.grid = options.grid;
    const QString output = QString::fromStdString(options.output);
    if (options.stability) {
        const auto points = cyclara::plot::Stability(cyclara::plot::PhaseRuns(rows));
        if (points.empty()) {
            std::fprintf(stderr, "cyclara-plot: no run of three counted seconds to draw\n");
            return 1;
        }
        if (!cyclara::plot::DrawStability(points, chart, output)) {
            std::fprintf(stderr, "cyclara-plot: cannot write the picture %s\n",
                         options.output.c_str());
            return 1;
        }
        return 0;
    }
    const bool drawn = options.histogram || options.profile
                           ? cyclara::plot::DrawShapes(rows, options.histogram, options.profile,
                                                       chart, output)
                           : cyclara::plot::DrawCharts(rows, chart, output);
    if (!drawn) {
        std::fprintf(stderr, "cyclara-plot: cannot write the picture %s\n",
                     options.output.c_str());
        return 1;
    }
    return 0;
}
