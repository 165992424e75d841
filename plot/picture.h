// A scene of charts written as a picture: PNG, or SVG when the path ends in ".svg".
#pragma once

#include <QChart>
#include <QGraphicsScene>
#include <QSize>
#include <QString>

#include <utility>
#include <vector>

namespace cyclara::plot {

// False when the file cannot be written.
bool WritePicture(QGraphicsScene& scene, QSize size, const QString& path);

// Two charts one above the other, the upper taking `upperShare` of the height, or the upper
// alone when `lower` is null; the picture takes them over.
bool WriteStacked(QChart* upper, QChart* lower, double upperShare, QSize size,
                  const QString& path);

// Charts one above the other, each taking its share of the height; the picture takes them over.
bool WriteColumn(const std::vector<std::pair<QChart*, double>>& chartsAndShares, QSize size,
                 const QString& path);

}  // namespace cyclara::plot
