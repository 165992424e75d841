// A scene of charts written as a picture: PNG, or SVG when the path ends in ".svg".
#pragma once

#include <QGraphicsScene>
#include <QSize>
#include <QString>

namespace cyclara::plot {

// False when the file cannot be written.
bool WritePicture(QGraphicsScene& scene, QSize size, const QString& path);

}  // namespace cyclara::plot
