#include "plot/shape_charts.h"

#include "grid/grid_bands.h"
#include "measure/time_spans.h"
#include "plot/chart_parts.h"
#include "plot/picture.h"

#include <QChart>
#include <QDateTime>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

#include <algorithm>

namespace cyclara::plot {

namespace {

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

int NominalOf(const std::vector<RecordRow>& rows) {
    for (const RecordRow& row : rows) {
        if (row.frequency) {
            return *row.frequency > 55 ? 60 : 50;
        }
    }
    return 50;
}

// Each bin as a step, in per cent of the day's readings.
QLineSeries* Steps(const Histogram& histogram, const QString& name, const QColor& colour,
                   double& highest) {
    auto* steps = new QLineSeries;
    steps->setName(name);
    steps->setPen(QPen(colour, 2));
    const double total = static_cast<double>(std::max<int64_t>(histogram.total, 1));
    for (size_t bin = 0; bin < histogram.counts.size(); ++bin) {
        const double share = 100.0 * static_cast<double>(histogram.counts[bin]) / total;
        const double edge = histogram.fromHz + histogram.binHz * static_cast<double>(bin);
        steps->append(edge, share);
        steps->append(edge + histogram.binHz, share);
        highest = std::max(highest, share);
    }
    return steps;
}

QString DayName(int64_t dayStartMs) {
    return QDateTime::fromMSecsSinceEpoch(dayStartMs, Qt::UTC).toString("yyyy-MM-dd");
}

QChart* HistogramChart(const std::vector<RecordRow>& rows, const ChartOptions& options) {
    const int nominal = NominalOf(rows);
    const double half = 0.2 * nominal / 50;
    const int64_t day = *LastDayStartMs(rows);
    QChart* chart = NewChart("Frequency of " + DayName(day));
    double highest = 0;
    std::vector<QLineSeries*> days;
    const Histogram before = HistogramOf(rows, day - kDayMs, nominal - half, nominal + half,
                                         kHistogramBinHz);
    if (before.total != 0) {
        days.push_back(Steps(before, DayName(day - kDayMs), QColor(160, 175, 200), highest));
    }
    days.push_back(Steps(HistogramOf(rows, day, nominal - half, nominal + half, kHistogramBinHz),
                         DayName(day), QColor(0, 70, 160), highest));
    QValueAxis* x = ValueAxis(nominal - half, nominal + half, "frequency (Hz)");
    QValueAxis* y = ValueAxis(0, std::max(highest, 0.1), "share of the day's seconds (%)");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (const cyclara::Band& band : GridFor(options.grid, nominal).bands) {
        for (const double limit : {band.lowHz, band.highHz}) {
            if (band.unit == "Hz" && limit > x->min() && limit < x->max()) {
                auto* edge = new QLineSeries;
                edge->append({{limit, y->min()}, {limit, y->max()}});
                edge->setPen(QPen(QColor::fromRgba(kBandLineColour), 1, Qt::DashLine));
                Attach(chart, edge, x, y);
                chart->legend()->markers(edge).front()->setVisible(false);
            }
        }
    }
    for (QLineSeries* steps : days) {
        Attach(chart, steps, x, y);
    }
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

QChart* ProfileChart(const std::vector<RecordRow>& rows) {
    QChart* chart = NewChart("Mean of each minute of the day (UTC)");
    chart->legend()->hide();
    auto* line = new QLineSeries;
    line->setPen(QPen(QColor(0, 70, 160), 1));
    double low = 1e9;
    double high = -1e9;
    const std::vector<std::optional<double>> profile = MinuteProfile(rows);
    for (size_t minute = 0; minute < profile.size(); ++minute) {
        if (profile[minute]) {
            line->append(static_cast<double>(minute) / 60.0, *profile[minute]);
            low = std::min(low, *profile[minute]);
            high = std::max(high, *profile[minute]);
        }
    }
    auto* x = new QValueAxis;
    x->setRange(0, 24);
    x->setTickCount(9);
    x->setLabelFormat("%.0f");
    x->setTitleText("hour of the day (UTC)");
    QValueAxis* y = ValueAxis(low, high, "frequency (Hz)");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, line, x, y);
    return chart;
}

}  // namespace

bool DrawShapes(const std::vector<RecordRow>& rows, bool histogram, bool profile,
                const ChartOptions& options, const QString& path) {
    if (!LastDayStartMs(rows)) {
        return false;
    }
    QChart* upper = histogram ? HistogramChart(rows, options) : ProfileChart(rows);
    QChart* lower = histogram && profile ? ProfileChart(rows) : nullptr;
    return WriteStacked(upper, lower, 0.5, options.size, path);
}

}  // namespace cyclara::plot
