// How the class library's handles stand for Qt's objects, and the compiled resources every
// part of the Qt backend reads.
#pragma once

#include "ui/afx.h"
#include "ui/resource_reader.h"

#include <QIcon>
#include <QMenuBar>
#include <QPainter>
#include <QWidget>

namespace cyclara::qt {

inline QWidget* WidgetOf(HWND window) {
    return reinterpret_cast<QWidget*>(window);
}
inline HWND HandleOf(QWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}
inline QIcon* IconOf(HICON icon) {
    return reinterpret_cast<QIcon*>(icon);
}
inline QMenuBar* MenuBarOf(HMENU menu) {
    return reinterpret_cast<QMenuBar*>(menu);
}
inline QPainter* PainterOf(HDC dc) {
    return reinterpret_cast<QPainter*>(dc);
}

// The template-sized area below a dialog's menu bar: what Windows calls the client area.
inline constexpr const char* kClientAreaName = "cyclaraClientArea";
QWidget* ClientAreaOf(QWidget* window);

// Compiled in, so never malformed in a release; a broken build finds nothing in it and every
// dialog then fails to open instead of reading garbage.
const ResourceFile& Resources();

}  // namespace cyclara::qt
