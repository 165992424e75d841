// cyclara-compare: how a meter's readings compare with another's, or with the grid operator's
// published figures, from their files: the clock offset between them and how far they agree.
#include "command_line/command_line.h"
#include "command_line/version.h"
#include "compare/comparison.h"
#include "compare/comparison_json.h"
#include "compare/comparison_picture.h"
#include "compare/live/run_live.h"
#include "plot/offscreen.h"
#include "record/recording.h"

#include <CLI/CLI.hpp>
#include <QApplication>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using cyclara::compare::Agreement;
using cyclara::compare::Comparison;
using cyclara::compare::Label;
using Json = nlohmann::json;

struct Options {
    std::vector<std::string> files;
    cyclara::compare::LiveOptions live;
    int nominal = 0;
    std::string label = "start";
    bool json = false;
    std::string picture;
};

int ParseOptions(int argc, char** argv, Options& o) {
    CLI::App app{"Compares meters' frequency recordings: the first with each other one.",
                 "cyclara-compare"};
    app.add_option("files", o.files,
                   "Recordings: cyclara-log's record (a day file, plain or compressed), a "
                   "one-second file of UTC times and deviations in mHz, or a time,hertz CSV")
        ->expected(0, -1);
    app.add_option("--nominal", o.nominal, "50 or 60 (default: as each recording says)")
        ->check(CLI::IsMember({50, 60}).description(""));
    app.add_option("--label", o.label,
                   "Where a published file's time label lies in its second: start (default), "
                   "middle or end; cyclara-log's record labels the end")
        ->check(CLI::IsMember({"start", "middle", "end"}).description(""));
    app.add_flag("--json", o.json, "One JSON object a pair, for scripts");
    app.add_option("--picture", o.picture,
                   "Draw each pair to this file (PNG, or SVG when it ends in .svg): the series "
                   "over each other, their difference and its histogram; with more than two "
                   "recordings, -2, -3 ... before the extension")
        ->type_name("FILE");
    app.add_option("--live", o.live.broker,
                   "Compare meters live, from the states they publish to this broker "
                   "(mqtt://host[:port]), until stopped")
        ->type_name("URL");
    app.add_option("--topic", o.live.topic,
                   "With --live: the topic filter the meters' state topics match (default "
                   "cyclara/#)");
    app.add_option("--http", o.live.http,
                   "With --live: serve the comparison's page, its API (/api/v1/pairs) and "
                   "Prometheus metrics (/metrics) on PORT (on 127.0.0.1) or ADDRESS:PORT")
        ->type_name("[ADDRESS:]PORT");
    app.add_option("--window", o.live.windowSeconds,
                   "With --live: the seconds of each meter's states compared (default 600)")
        ->check(CLI::Range(int64_t{120}, int64_t{86'400}));
    app.set_version_flag("--version", std::string("cyclara-compare ") + cyclara::kVersion);
    const int ended = cyclara::ParseCommandLine(app, argc, argv);
    if (ended < 0 && o.live.broker.empty() && o.files.size() < 2) {
        std::fprintf(stderr, "cyclara-compare: give two recordings or more, or --live URL\n");
        return 2;
    }
    return ended;
}

// The picture of the pair with recording `other` (2 for the second given): the path as given
// where there is one pair, else numbered.
std::string PicturePath(const std::string& path, size_t other, size_t recordings) {
    if (recordings == 2) {
        return path;
    }
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                          ? path.size()
                          : dot;
    return path.substr(0, at) + "-" + std::to_string(other) + path.substr(at);
}

Label LabelOf(const std::string& name) {
    return name == "middle" ? Label::kMiddle : name == "end" ? Label::kEnd : Label::kStart;
}

void Print(const Comparison& c) {
    std::printf("%s against %s: %s\n", c.b.c_str(), c.a.c_str(), Verdict(c).c_str());
    if (!c.sameArea) {
        return;
    }
    const Agreement& a = c.atLag;
    std::printf("  lag %+.1f s (uncertainty %.1f s, correlation %.3f); %lld seconds paired\n",
                c.lagSeconds, c.lagUncertaintySeconds, c.correlation,
                static_cast<long long>(a.pairedSeconds));
    std::printf("  difference %+.2f mHz (uncertainty %.2f), s.d. %.2f mHz, largest %+.1f mHz "
                "at %s; grid time drift %+.1f ms\n",
                a.meanDifferenceMhz, a.meanDifferenceUncertaintyMhz, a.differenceSdMhz,
                a.largestDifferenceMhz, cyclara::compare::UtcOfSecond(a.largestDifferenceSecond).c_str(),
                a.gridTimeDriftMs);
    std::printf("  at zero lag: s.d. %.2f mHz over %lld seconds\n", c.atZeroLag.differenceSdMhz,
                static_cast<long long>(c.atZeroLag.pairedSeconds));
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int ended = ParseOptions(argc, argv, options); ended >= 0) {
        return ended;
    }
    if (!options.live.broker.empty()) {
        return cyclara::compare::RunLive(options.live);
    }
    // Qt, only for a picture.
    std::unique_ptr<QTemporaryDir> runtime;
    std::unique_ptr<QApplication> application;
    if (!options.picture.empty()) {
        runtime = cyclara::plot::DrawWithoutAScreen();
        application = std::make_unique<QApplication>(argc, argv);
    }
    std::vector<cyclara::compare::Series> series;
    for (const std::string& file : options.files) {
        std::string whyNot;
        const std::optional<cyclara::Recording> recording =
            cyclara::ReadRecording(file, options.nominal, whyNot);
        if (!recording) {
            std::fprintf(stderr, "cyclara-compare: %s\n", whyNot.c_str());
            return 1;
        }
        const Label label = recording->form == cyclara::Recording::Form::kRecord
                                ? Label::kEnd
                                : LabelOf(options.label);
        series.push_back(cyclara::compare::SeriesOf(file, *recording, label));
        std::fprintf(stderr, "cyclara-compare: %s: %s, %d Hz, time labels at each second's %s;"
                             " %zu seconds, %lld left out\n",
                     file.c_str(), cyclara::FormName(recording->form), recording->nominalHz,
                     cyclara::compare::LabelName(label), series.back().hertzBySecond.size(),
                     static_cast<long long>(series.back().leftOut));
    }
    Json all = Json::array();
    int code = 0;
    for (size_t i = 1; i < series.size(); ++i) {
        const std::optional<Comparison> comparison = cyclara::compare::Compare(series[0], series[i]);
        if (!comparison) {
            std::fprintf(stderr, "cyclara-compare: %s and %s share too few seconds to compare\n",
                         series[0].name.c_str(), series[i].name.c_str());
            code = 1;
            continue;
        }
        if (options.json) {
            all.push_back(cyclara::compare::ComparisonObject(*comparison));
        } else {
            Print(*comparison);
        }
        // Two areas' series are not compared, so not drawn as if they should agree.
        const std::string picture = PicturePath(options.picture, i + 1, series.size());
        if (!options.picture.empty() && comparison->sameArea &&
            !cyclara::compare::DrawComparison(*comparison, series[0], series[i], picture)) {
            std::fprintf(stderr, "cyclara-compare: cannot write %s\n", picture.c_str());
            code = 1;
        }
    }
    if (options.json) {
        std::printf("%s\n", all.dump(2).c_str());
    }
    return code;
}
