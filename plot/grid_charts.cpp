#include "plot/grid_charts.h"

#include "record/record_layout.h"
#include "measure/time_spans.h"
#include "plot/axis_ticks.h"
#include "plot/chart_parts.h"
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

// Where the frequency left a band: the band's name, at the reading that confirmed it.
struct BandLeft {
    QString band;
    QPointF at;  // time, frequency
};

// What the rows say, split where a measurement starts again (after a lost device, a restart).
struct Series {
    std::vector<Stretch> stretches;
    std::vector<std::pair<qreal, qreal>> gaps;  // from, to, in milliseconds
    QList<QPointF> lost;                         // time, frequency
    std::vector<BandLeft> bandsLeft;
    qreal first = 0, last = 0;  // of the time axis: round times around the rows'
};

// The names of the bands an event column says were left: "left the standard range (...)",
// several joined by "; ".
std::vector<QString> BandsLeftIn(const std::string& event) {
    std::vector<QString> bands;
    const std::string opening = "left the ";
    for (size_t at = event.find(opening); at != std::string::npos;
         at = event.find(opening, at + 1)) {
        const size_t from = at + opening.size();
        const size_t to = event.find(" (", from);
        bands.push_back(QString::fromStdString(event.substr(from, to - from)));
    }
    return bands;
}

// The local clock's offset from UTC at `ms`: 0 unless the process's time zone is not UTC.
qreal OffsetMs(qreal ms) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms)).offsetFromUtc() * 1000.0;
}

Series SeriesOf(const std::vector<RecordRow>& rows) {
    Series series;
    const auto from = static_cast<qreal>(rows.front().unixMilliseconds);
    const Ticks time =
        TimeTicks(from, static_cast<qreal>(rows.back().unixMilliseconds), OffsetMs(from));
    series.first = time.first;
    series.last = time.Last();
    qreal awaySince = -1;  // when the record last lost its device; -1 while it has it
    for (const RecordRow& row : rows) {
        const qreal time = static_cast<qreal>(row.unixMilliseconds);
        if (row.event == record_event::kStart || series.stretches.empty()) {
            series.stretches.emplace_back();
        }
        if (row.event == record_event::kDeviceLost || row.event == record_event::kStop) {
            awaySince = time;
        } else if (awaySince >= 0 && row.event == record_event::kStart) {
            series.gaps.emplace_back(awaySince, time);
            awaySince = -1;
        }
        if (row.frequency) {
            series.stretches.back().frequency.append({time, *row.frequency});
            if (row.event.rfind(std::string(record_event::kLost) + " ", 0) == 0) {
                series.lost.append({time, *row.frequency});
            }
            for (const QString& band : BandsLeftIn(row.event)) {
                series.bandsLeft.push_back({band, {time, *row.frequency}});
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
    const Ticks ticks = TimeTicks(series.first, series.last, OffsetMs(series.first));
    auto* axis = new QDateTimeAxis;
    // The axis shows the process's local time, which main sets to UTC unless asked not to.
    axis->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(series.first)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(series.last)));
    axis->setFormat(series.last - series.first > 2.0 * kDayMs ? "MM-dd HH:mm" : "HH:mm");
    axis->setTitleText(options.localTime ? "local time" : "UTC");
    axis->setTickCount(ticks.intervals + 1);
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

// Everything a chart of the time shares: its axes.
QChart* TimeChart(const Series& series, const ChartOptions& options, QValueAxis* y,
                  const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    QDateTimeAxis* x = TimeAxis(series, options);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    return chart;
}

// Over any fill, under the lines.
void AddGaps(QChart* chart, const Series& series, QValueAxis* y) {
    for (const auto& [from, to] : series.gaps) {
        Attach(chart, Band(from, to, y->min(), y->max(), kGapColour),
               chart->axes(Qt::Horizontal).front(), y);
    }
}

// The limits of the grid's frequency bands that fall within the chart, dashed.
void AddBandLines(QChart* chart, const Series& series, int nominal, const ChartOptions& options,
                  QValueAxis* y) {
    QAbstractAxis* x = chart->axes(Qt::Horizontal).front();
    for (const cyclara::Band& band : GridFor(options.grid, nominal).bands) {
        for (const double limit : {band.lowHz, band.highHz}) {
            if (band.unit == "Hz" && limit > y->min() && limit < y->max()) {
                QLineSeries* edge =
                    Line({{series.first, limit}, {series.last, limit}}, QColor(kBandLineColour));
                edge->setPen(QPen(QColor::fromRgba(kBandLineColour), 1, Qt::DashLine));
                Attach(chart, edge, x, y);
            }
        }
    }
}

QScatterSeries* Marks(const QList<QPointF>& points, unsigned colour,
                      QScatterSeries::MarkerShape shape) {
    auto* marks = new QScatterSeries;
    marks->replace(points);
    marks->setMarkerShape(shape);
    marks->setColor(QColor::fromRgba(colour));
    marks->setBorderColor(QColor::fromRgba(colour));
    marks->setMarkerSize(9);
    return marks;
}

// Where the frequency left a band, each marked and, up to a dozen, labelled with the band.
void AddBandMarks(QChart* chart, const Series& series, QAbstractAxis* x, QValueAxis* y) {
    constexpr size_t kLabelled = 12;
    for (size_t i = 0; i < series.bandsLeft.size(); ++i) {
        const BandLeft& left = series.bandsLeft[i];
        QScatterSeries* mark =
            Marks({left.at}, kEventColour, QScatterSeries::MarkerShapeTriangle);
        if (i < kLabelled) {
            // A format without placeholders is the label itself.
            mark->setPointLabelsFormat(left.band);
            mark->setPointLabelsVisible(true);
            mark->setPointLabelsColor(QColor::fromRgba(kEventColour));
        }
        Attach(chart, mark, x, y);
    }
}

QChart* FrequencyChart(const Series& series, const ChartOptions& options) {
    const int nominal = NominalOf(series);
    // The usual operating band: 49.8 to 50.2 Hz, scaled for 60 Hz grids.
    const qreal half = 0.2 * nominal / 50;
    const auto [low, high] = Extent(series, &Stretch::frequency, nominal - half, nominal + half);
    QValueAxis* y = ValueAxis(low, high, "frequency (Hz)");
    QChart* chart = TimeChart(series, options, y, options.title);
    QAbstractAxis* x = chart->axes(Qt::Horizontal).front();
    Attach(chart, Band(series.first, series.last, nominal - half, nominal + half, kBandColour), x,
           y);
    AddGaps(chart, series, y);
    Attach(chart, Line({{series.first, qreal(nominal)}, {series.last, qreal(nominal)}}, Qt::gray),
           x, y);
    AddBandLines(chart, series, nominal, options, y);
    for (const Stretch& stretch : series.stretches) {
        Attach(chart, Line(stretch.frequency, QColor(0, 70, 160)), x, y);
    }
    Attach(chart, Marks(series.lost, kLostColour, QScatterSeries::MarkerShapeCircle), x, y);
    AddBandMarks(chart, series, x, y);
    return chart;
}

QChart* GridTimeChart(const Series& series, const ChartOptions& options) {
    const auto [low, high] = Extent(series, &Stretch::gridTime, 0, 0);
    QValueAxis* y = ValueAxis(low, std::max(high, low + 0.001), "grid time deviation (s)");
    QChart* chart = TimeChart(series, options, y, "");
    QAbstractAxis* x = chart->axes(Qt::Horizontal).front();
    AddGaps(chart, series, y);
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
