#include "plot/stability_charts.h"

#include "plot/picture.h"

#include <QChart>
#include <QLineSeries>
#include <QLogValueAxis>

namespace cyclara::plot {

namespace {

QLogValueAxis* LogAxis(const QString& title, const QString& format) {
    auto* axis = new QLogValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(format);
    axis->setBase(10);
    axis->setMinorTickCount(-1);
    return axis;
}

// One deviation against tau; `value` picks it from a point.
QChart* DeviationChart(const std::vector<StabilityPoint>& points, const QString& title,
                       const QString& axisTitle, double (*value)(const StabilityPoint&)) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* series = new QLineSeries;
    series->setPointsVisible(true);
    for (const StabilityPoint& point : points) {
        series->append(point.tauSeconds, value(point));
    }
    chart->addSeries(series);
    QLogValueAxis* x = LogAxis("averaging time (s)", "%g");
    QLogValueAxis* y = LogAxis(axisTitle, "%.0e");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    return chart;
}

}  // namespace

bool DrawStability(const std::vector<StabilityPoint>& points, const ChartOptions& options,
                   const QString& path) {
    if (points.empty()) {
        return false;
    }
    QChart* allan = DeviationChart(points, options.title + " - Allan deviation", "of the frequency",
                                   [](const StabilityPoint& p) { return p.allanDeviation; });
    QChart* time = DeviationChart(points, "Time deviation", "of the grid time (s)",
                                  [](const StabilityPoint& p) { return p.timeDeviationSeconds; });
    return WriteStacked(allan, time, 0.5, options.size, path);
}

}  // namespace cyclara::plot
