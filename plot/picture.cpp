#include "plot/picture.h"

#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

namespace cyclara::plot {

namespace {

// False when the device would not be painted on: an SVG file that cannot be created.
bool Render(QGraphicsScene& scene, QPaintDevice& device) {
    QPainter painter(&device);
    if (!painter.isActive()) {
        return false;
    }
    painter.fillRect(scene.sceneRect(), Qt::white);
    scene.render(&painter);
    return painter.end();
}

}  // namespace

bool WritePicture(QGraphicsScene& scene, QSize size, const QString& path) {
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        return Render(scene, svg);
    }
    QImage image(size, QImage::Format_RGB32);
    return Render(scene, image) && image.save(path);
}

bool WriteStacked(QChart* upper, QChart* lower, double upperShare, QSize size,
                  const QString& path) {
    QGraphicsScene scene(0, 0, size.width(), size.height());
    const qreal top = lower == nullptr ? size.height() : size.height() * upperShare;
    upper->setGeometry(0, 0, size.width(), top);
    scene.addItem(upper);
    if (lower != nullptr) {
        lower->setGeometry(0, top, size.width(), size.height() - top);
        scene.addItem(lower);
    }
    return WritePicture(scene, size, path);
}

}  // namespace cyclara::plot
