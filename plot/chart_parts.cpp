#include "plot/chart_parts.h"

#include "plot/axis_ticks.h"

namespace cyclara::plot {

QValueAxis* ValueAxis(double low, double high, const QString& title) {
    const Ticks ticks = ValueTicks(low, high);
    auto* axis = new QValueAxis;
    axis->setRange(ticks.first, ticks.Last());
    // Ticks at whole multiples of the step from 0, so that the one at 0 is exactly 0: a fixed
    // count divides the range and can leave it at -1e-17, labelled "-0.000".
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(ticks.step);
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
