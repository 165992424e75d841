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
    if (lower == nullptr) {
        return WriteColumn({{upper, 1.0}}, size, path);
    }
    return WriteColumn({{upper, upperShare}, {lower, 1.0 - upperShare}}, size, path);
}

bool WriteColumn(const std::vector<std::pair<QChart*, double>>& chartsAndShares, QSize size,
                 const QString& path) {
    QGraphicsScene scene(0, 0, size.width(), size.height());
    qreal top = 0;
    for (const auto& [chart, share] : chartsAndShares) {
        const qreal height = size.height() * share;
        chart->setGeometry(0, top, size.width(), height);
        scene.addItem(chart);
        top += height;
    }
    return WritePicture(scene, size, path);
}

}  // namespace cyclara::plot
