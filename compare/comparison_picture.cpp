#include "compare/comparison_picture.h"

#include "plot/chart_parts.h"
#include "plot/picture.h"

#include <QChart>
#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace cyclara::compare {

namespace {

constexpr double kMhzPerHz = 1e3;
constexpr double kSecondsAnHour = 3600;
// The histogram's bins: a tenth of a millihertz resolves a good pair's scatter.
constexpr double kBinMhz = 0.1;

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

double Hours(const PairedSecond& pair, int64_t firstSecond) {
    return static_cast<double>(pair.second - firstSecond) / kSecondsAnHour;
}

QChart* SeriesChart(const Comparison& c, const std::vector<PairedSecond>& pairs) {
    QChart* chart = NewChart(QString::fromStdString(c.a + " and " + c.b));
    auto* a = new QLineSeries;
    auto* b = new QLineSeries;
    a->setName(QString::fromStdString(c.a));
    b->setName(QString::fromStdString(c.b) + QString(" moved by %1 s").arg(-c.lagSeconds, 0, 'f', 1));
    double low = pairs.front().a, high = low;
    for (const PairedSecond& pair : pairs) {
        a->append(Hours(pair, pairs.front().second), pair.a);
        b->append(Hours(pair, pairs.front().second), pair.b);
        low = std::min({low, pair.a, pair.b});
        high = std::max({high, pair.a, pair.b});
    }
    QValueAxis* x = plot::ValueAxis(0, Hours(pairs.back(), pairs.front().second), "hours");
    QValueAxis* y = plot::ValueAxis(low, high, "Hz");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    plot::Attach(chart, a, x, y);
    plot::Attach(chart, b, x, y);
    return chart;
}

QChart* DifferenceChart(const std::vector<PairedSecond>& pairs) {
    QChart* chart = NewChart("Difference, B - A");
    chart->legend()->hide();
    auto* difference = new QScatterSeries;
    difference->setMarkerSize(2.5);
    difference->setBorderColor(Qt::transparent);
    double low = (pairs.front().b - pairs.front().a) * kMhzPerHz, high = low;
    for (const PairedSecond& pair : pairs) {
        const double mhz = (pair.b - pair.a) * kMhzPerHz;
        difference->append(Hours(pair, pairs.front().second), mhz);
        low = std::min(low, mhz);
        high = std::max(high, mhz);
    }
    QValueAxis* x = plot::ValueAxis(0, Hours(pairs.back(), pairs.front().second), "hours");
    QValueAxis* y = plot::ValueAxis(low, high, "mHz");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    plot::Attach(chart, difference, x, y);
    return chart;
}

// Seconds at each difference, as a line over the bins' middles.
QChart* HistogramChart(const std::vector<PairedSecond>& pairs) {
    QChart* chart = NewChart("Seconds at each difference (0.1 mHz bins)");
    chart->legend()->hide();
    std::map<int64_t, int64_t> seconds;
    for (const PairedSecond& pair : pairs) {
        ++seconds[std::llround(std::floor((pair.b - pair.a) * kMhzPerHz / kBinMhz))];
    }
    auto* line = new QLineSeries;
    int64_t most = 0;
    for (int64_t bin = seconds.begin()->first - 1; bin <= seconds.rbegin()->first + 1; ++bin) {
        const auto found = seconds.find(bin);
        const int64_t count = found == seconds.end() ? 0 : found->second;
        line->append((static_cast<double>(bin) + 0.5) * kBinMhz, static_cast<double>(count));
        most = std::max(most, count);
    }
    QValueAxis* x = plot::ValueAxis(line->at(0).x(), line->at(line->count() - 1).x(), "mHz");
    QValueAxis* y = plot::ValueAxis(0, static_cast<double>(most), "seconds");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    plot::Attach(chart, line, x, y);
    return chart;
}

}  // namespace

bool DrawComparison(const Comparison& comparison, const Series& a, const Series& b,
                    const std::string& path) {
    const std::vector<PairedSecond> pairs = Paired(a, b, std::llround(comparison.lagSeconds));
    if (pairs.empty()) {
        return false;
    }
    return plot::WriteColumn({{SeriesChart(comparison, pairs), 0.45},
                              {DifferenceChart(pairs), 0.3},
                              {HistogramChart(pairs), 0.25}},
                             QSize(1200, 1100), QString::fromStdString(path));
}

}  // namespace cyclara::compare
