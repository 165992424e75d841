#include "plot/grid_charts.h"

#include "logger/record/record_layout.h"
#include "plot/picture.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace cyclara::plot {

namespace {

// A stretch of the record without a break: a line is drawn through it, none across a gap.
struct Stretch {
    QList<QPointF> frequency;
    QList<QPointF> gridTime;
};

// What the rows say, split where a measurement starts again (after a lost device, a restart).
struct Series {
    std::vector<Stretch> stretches;
    std::vector<std::pair<qreal, qreal>> gaps;  // from, to, in milliseconds
    QList<QPointF> lost;                         // time, frequency
    qreal first = 0, last = 0;
};

Series SeriesOf(const std::vector<RecordRow>& rows) {
    Series series;
    series.first = static_cast<qreal>(rows.front().unixMilliseconds);
    series.last = static_cast<qreal>(rows.back().unixMilliseconds);
    qreal awaySince = -1;  // when the record last lost its device; -1 while it has it
    for (const RecordRow& row : rows) {
        const qreal time = static_cast<qreal>(row.unixMilliseconds);
        if (row.event == logger::record_event::kStart || series.stretches.empty()) {
            series.stretches.emplace_back();
        }
        if (row.event == logger::record_event::kDeviceLost || row.event == logger::record_event::kStop) {
            awaySince = time;
        } else if (awaySince >= 0 && row.event == logger::record_event::kStart) {
            series.gaps.emplace_back(awaySince, time);
            awaySince = -1;
        }
        if (row.frequency) {
            series.stretches.back().frequency.append({time, *row.frequency});
            if (row.event.rfind(std::string(logger::record_event::kLost) + " ", 0) == 0) {
                series.lost.append({time, *row.frequency});
            }
        }
        if (row.gridTime) {
            series.stretches.back().gridTime.append({time, *row.gridTime});
        }
    }
    return series;
}

// The lowest and highest value of one line over all stretches, taking in `low` and `high`.
std::pair<qreal, qreal> Extent(const Series& series, QList<QPointF> Stretch::*line, qreal low,
                               qreal high) {
    for (const Stretch& stretch : series.stretches) {
        for (const QPointF& point : stretch.*line) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    }
    return {low, high};
}

// 50 or 60, whichever the frequencies lie nearer.
int NominalOf(const Series& series) {
    for (const Stretch& stretch : series.stretches) {
        if (!stretch.frequency.isEmpty()) {
            return stretch.frequency.front().y() > 55 ? 60 : 50;
        }
    }
    return 50;
}

QDateTimeAxis* TimeAxis(const Series& series, const ChartOptions& options) {
    auto* axis = new QDateTimeAxis;
    // The axis shows the process's local time, which main sets to UTC unless asked not to.
    axis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(series.first)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(series.last)));
    axis->setFormat(series.last - series.first > 2 * 86'400'000.0 ? "MM-dd HH:mm" : "HH:mm");
    axis->setTitleText(options.localTime ? "local time" : "UTC");
    axis->setTickCount(9);
    return axis;
}

QLineSeries* Line(const QList<QPointF>& points, const QColor& colour) {
    auto* line = new QLineSeries;
    line->replace(points);
    line->setPen(QPen(colour, 1));
    return line;
}

// A band from `low` to `high` across the whole time range.
QAreaSeries* Band(qreal from, qreal to, qreal low, qreal high, unsigned colour) {
    auto* upper = new QLineSeries;
    upper->append({{from, high}, {to, high}});
    auto* lower = new QLineSeries;
    lower->append({{from, low}, {to, low}});
    auto* band = new QAreaSeries(upper, lower);
    band->setBrush(QColor::fromRgba(colour));
    band->setPen(Qt::NoPen);
    return band;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

// Everything a chart of the time shares: the gaps shaded first, then the lines over them.
QChart* TimeChart(const Series& series, const ChartOptions& options, QValueAxis* y,
                  const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    QDateTimeAxis* x = TimeAxis(series, options);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (const auto& [from, to] : series.gaps) {
        Attach(chart, Band(from, to, y->min(), y->max(), kGapColour), x, y);
    }
    return chart;
}

QChart* FrequencyChart(const Series& series, const ChartOptions& options) {
    const int nominal = NominalOf(series);
    // The usual operating band: 49.8 to 50.2 Hz, scaled for 60 Hz grids.
    const qreal half = 0.2 * nominal / 50;
    const auto [low, high] = Extent(series, &Stretch::frequency, nominal - half, nominal + half);
    auto* y = new QValueAxis;
    y->setRange(low - half / 4, high + half / 4);
    y->setTitleText("frequency (Hz)");
    y->setLabelFormat("%.3f");
    QChart* chart = TimeChart(series, options, y, options.title);
    QAbstractAxis* x = chart->axes(Qt::Horizontal).front();
    Attach(chart, Band(series.first, series.last, nominal - half, nominal + half, kBandColour), x,
           y);
    Attach(chart, Line({{series.first, qreal(nominal)}, {series.last, qreal(nominal)}}, Qt::gray),
           x, y);
    for (const Stretch& stretch : series.stretches) {
        Attach(chart, Line(stretch.frequency, QColor(0, 70, 160)), x, y);
    }
    auto* lost = new QScatterSeries;
    lost->replace(series.lost);
    lost->setColor(QColor::fromRgba(kLostColour));
    lost->setBorderColor(QColor::fromRgba(kLostColour));
    lost->setMarkerSize(9);
    Attach(chart, lost, x, y);
    return chart;
}

QChart* GridTimeChart(const Series& series, const ChartOptions& options) {
    const auto [low, high] = Extent(series, &Stretch::gridTime, 0, 0);
    const qreal margin = std::max((high - low) / 10, 0.001);
    auto* y = new QValueAxis;
    y->setRange(low - margin, high + margin);
    y->setTitleText("grid time deviation (s)");
    y->setLabelFormat("%.3f");
    QChart* chart = TimeChart(series, options, y, "");
    QAbstractAxis* x = chart->axes(Qt::Horizontal).front();
    for (const Stretch& stretch : series.stretches) {
        Attach(chart, Line(stretch.gridTime, QColor(150, 60, 0)), x, y);
    }
    return chart;
}

}  // namespace

bool DrawCharts(const std::vector<RecordRow>& rows, const ChartOptions& options,
                const QString& path) {
    if (rows.empty()) {
        return false;
    }
    const Series series = SeriesOf(rows);
    return WriteStacked(FrequencyChart(series, options), GridTimeChart(series, options), 0.6,
                        options.size, path);
}

}  // namespace cyclara::plot
