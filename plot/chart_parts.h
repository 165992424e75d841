// What every chart of cyclara-plot builds with.
#pragma once

#include <QAbstractAxis>
#include <QAbstractSeries>
#include <QChart>
#include <QString>
#include <QValueAxis>

namespace cyclara::plot {

// An axis from the round value at or below `low` to the one at or above `high`, its labels
// with the decimals the step needs.
QValueAxis* ValueAxis(double low, double high, const QString& title);

// Adds `series` to `chart` on its axes.
void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y);

}  // namespace cyclara::plot
