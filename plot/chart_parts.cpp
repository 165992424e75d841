#include "plot/chart_parts.h"

#include "plot/axis_ticks.h"

namespace cyclara::plot {

QValueAxis* ValueAxis(double low, double high, const QString& title) {
    const Ticks ticks = ValueTicks(low, high);
    auto* axis = new QValueAxis;
    axis->setRange(ticks.first, ticks.Last());
    axis->setTickCount(ticks.intervals + 1);
    axis->setLabelFormat(QString("%.%1f").arg(DecimalsOf(ticks.step)));
    axis->setTitleText(title);
    return axis;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

}  // namespace cyclara::plot
