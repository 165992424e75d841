#include "compare/live/live_texts.h"

#include "compare/comparison_json.h"
#include "metrics/exposition.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace cyclara::compare {

namespace {

using Json = nlohmann::json;

std::string Utc(int64_t utcNs) {
    return utcNs > 0 ? UtcOfSecond(utcNs / 1'000'000'000) : "";
}

Json MeterObject(const MeterView& meter) {
    return {{"name", meter.name},
            {"state", MeterStateName(meter.state)},
            {"frequency_hz", meter.lastHertz ? Json(*meter.lastHertz) : Json()},
            {"clock", meter.clock},
            {"utc", Utc(meter.lastUtcNs)},
            {"seconds_in_window", meter.seconds},
            {"left_out", meter.leftOut}};
}

Json PairObject(const PairView& pair) {
    Json object = pair.comparison ? ComparisonObject(*pair.comparison)
                                  : Json{{"a", pair.a}, {"b", pair.b}, {"why_not", pair.whyNot}};
    object["phase_degrees"] = pair.phase.degrees ? Json(*pair.phase.degrees) : Json();
    object["phase_uncertainty_degrees"] =
        pair.phase.degrees ? Json(pair.phase.uncertaintyDegrees) : Json();
    object["phase_why_not"] = pair.phase.whyNot;
    return object;
}

std::string Escaped(const std::string& text) {
    std::string html;
    for (const char c : text) {
        html += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : c == '"' ? "&quot;"
                                                                          : std::string(1, c);
    }
    return html;
}

std::string Number(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string PhaseText(const PhaseView& phase) {
    return phase.degrees ? Number("%+.1f", *phase.degrees) + "&deg; &plusmn; " +
                               Number("%.1f", phase.uncertaintyDegrees) + "&deg;"
                         : Escaped(phase.whyNot);
}

constexpr const char* kStyle = R"(
:root { color-scheme: light dark; --ink: #1b1f24; --quiet: #5b6470; --paper: #ffffff;
        --line: #d8dde3; --good: #1a7f37; --warn: #9a6700; }
@media (prefers-color-scheme: dark) {
  :root { --ink: #e6edf3; --quiet: #9aa5b1; --paper: #0d1117; --line: #30363d;
          --good: #3fb950; --warn: #d29922; } }
body { font: 16px/1.45 system-ui, sans-serif; color: var(--ink); background: var(--paper);
       margin: 1.5rem auto; max-width: 60rem; padding: 0 1rem; }
h1 { font-size: 1.4rem; margin: 0 0 .25rem; }
p.quiet, td.quiet { color: var(--quiet); }
table { border-collapse: collapse; width: 100%; margin: 1rem 0 2rem;
        font-variant-numeric: tabular-nums; }
th, td { text-align: left; padding: .35rem .6rem; border-bottom: 1px solid var(--line); }
.live { color: var(--good); } .quiet-meter, .unsynchronised { color: var(--warn); }
)";

}  // namespace

std::string ViewJson(const LiveView& view) {
    Json meters = Json::array();
    for (const MeterView& meter : view.meters) {
        meters.push_back(MeterObject(meter));
    }
    Json pairs = Json::array();
    for (const PairView& pair : view.pairs) {
        pairs.push_back(PairObject(pair));
    }
    return Json{{"meters", meters}, {"pairs", pairs}}.dump();
}

std::string ViewMetrics(const LiveView& view) {
    Exposition out;
    out.Family("cyclara_compare_meter_up", "gauge",
               "1 while the meter publishes with a clock kept to UTC, else 0.");
    for (const MeterView& meter : view.meters) {
        out.Sample("cyclara_compare_meter_up", meter.state == MeterState::kLive ? 1 : 0,
                   cyclara::Label("meter", meter.name));
    }
    const struct {
        const char* name;
        const char* help;
        double (*value)(const Comparison&);
    } figures[] = {
        {"cyclara_compare_lag_seconds", "How far B's clock runs ahead of A's, from the grid.",
         [](const Comparison& c) { return c.lagSeconds; }},
        {"cyclara_compare_mean_difference_millihertz", "B's frequency less A's, at the lag.",
         [](const Comparison& c) { return c.atLag.meanDifferenceMhz; }},
        {"cyclara_compare_difference_sd_millihertz",
         "The standard deviation of the difference, at the lag.",
         [](const Comparison& c) { return c.atLag.differenceSdMhz; }},
        {"cyclara_compare_paired_seconds", "The seconds both meters read in the window.",
         [](const Comparison& c) { return static_cast<double>(c.atLag.pairedSeconds); }},
    };
    for (const auto& figure : figures) {
        out.Family(figure.name, "gauge", figure.help);
        for (const PairView& pair : view.pairs) {
            if (pair.comparison && pair.comparison->sameArea) {
                out.Sample(figure.name, figure.value(*pair.comparison),
                           cyclara::Label("a", pair.a) + "," + cyclara::Label("b", pair.b));
            }
        }
    }
    out.Family("cyclara_compare_phase_degrees", "gauge",
               "B's pulses after A's as a part of the cycle, where both are kept to GPS.");
    for (const PairView& pair : view.pairs) {
        if (pair.phase.degrees) {
            out.Sample("cyclara_compare_phase_degrees", *pair.phase.degrees,
                       cyclara::Label("a", pair.a) + "," + cyclara::Label("b", pair.b));
        }
    }
    return out.Text();
}

std::string ViewPage(const LiveView& view, int64_t windowSeconds) {
    std::string page = std::string("<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                                   "<meta name=\"viewport\" content=\"width=device-width\">"
                                   "<meta http-equiv=\"refresh\" content=\"5\">"
                                   "<title>Meters compared</title><style>") +
                       kStyle + "</style></head><body><h1>Meters compared</h1>" +
                       "<p class=\"quiet\">Over the last " + std::to_string(windowSeconds) +
                       " s of each meter's states, paired by UTC second; it reloads every 5 s.</p>"
                       "<table><tr><th>Meter</th><th>Frequency</th><th>Clock</th><th>State</th>"
                       "<th>At (UTC)</th><th>Seconds</th></tr>";
    for (const MeterView& meter : view.meters) {
        const std::string state = MeterStateName(meter.state);
        page += "<tr><td>" + Escaped(meter.name) + "</td><td>" +
                (meter.lastHertz ? Number("%.5f Hz", *meter.lastHertz) : "&ndash;") + "</td><td>" +
                Escaped(meter.clock) + "</td><td class=\"" +
                (meter.state == MeterState::kQuiet ? "quiet-meter" : state) + "\">" + state +
                "</td><td>" + Utc(meter.lastUtcNs) + "</td><td>" +
                std::to_string(meter.seconds) + "</td></tr>";
    }
    page += "</table><table><tr><th>Pair</th><th>Verdict</th><th>Lag</th><th>Difference</th>"
            "<th>S.d.</th><th>Phase</th></tr>";
    for (const PairView& pair : view.pairs) {
        const std::string name = Escaped(pair.b) + " against " + Escaped(pair.a);
        if (!pair.comparison) {
            page += "<tr><td>" + name + "</td><td class=\"quiet\" colspan=\"4\">" +
                    Escaped(pair.whyNot) + "</td><td>" + PhaseText(pair.phase) + "</td></tr>";
            continue;
        }
        const Comparison& c = *pair.comparison;
        page += "<tr><td>" + name + "</td><td>" + Escaped(Verdict(c)) + "</td><td>" +
                // Rounded first, so a lag that rounds to nothing shows no sign of its own.
                Number("%+.1f s", std::round(c.lagSeconds * 10) / 10 + 0.0) + "</td><td>" +
                Number("%+.2f mHz", c.atLag.meanDifferenceMhz) + "</td><td>" +
                Number("%.2f mHz", c.atLag.differenceSdMhz) + "</td><td>" +
                PhaseText(pair.phase) + "</td></tr>";
    }
    return page + "</table></body></html>\n";
}

std::string ViewLines(const LiveView& view) {
    std::string lines;
    for (const PairView& pair : view.pairs) {
        lines += pair.b + " against " + pair.a + ": " +
                 (pair.comparison ? Verdict(*pair.comparison) : pair.whyNot);
        if (pair.phase.degrees) {
            lines += Number("; phase %+.1f degrees", *pair.phase.degrees) +
                     Number(" (uncertainty %.1f)", pair.phase.uncertaintyDegrees);
        }
        lines += "\n";
    }
    return lines;
}

}  // namespace cyclara::compare
