// Builds Qt widgets from the compiled resources: a dialog template's controls placed in
// dialog units as Windows places them, the menu bar, and icons.
#pragma once

#include "ui/resource_reader.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QRect>

#include <functional>
#include <map>

class QMenuBar;
class QWidget;

namespace cyclara::qt {

// Windows measures a dialog in units of a quarter of the font's average character width and
// an eighth of its height.
struct DialogUnits {
    int baseX = 0;  // average character width, pixels
    int baseY = 0;  // character height, pixels
    QRect ToPixels(int x, int y, int cx, int cy) const;
};
DialogUnits DialogUnitsOf(const QFont& font);

// The template's font, its Windows family matched to a metric-compatible one.
QFont TemplateFont(const DialogTemplate& dialog);

// The property that holds a control's ID on its widget.
inline constexpr const char* kControlIdProperty = "cyclaraControlId";

// Creates the controls of `dialog` in `parent`, in template order (which is the tab order),
// and returns them by ID; fixed texts (ID -1) are created but not returned.
std::map<int, QWidget*> BuildControls(const DialogTemplate& dialog, const DialogUnits& units,
                                      QWidget* parent);

// Fills `bar` from a menu template; choosing an item calls `onCommand` with its ID.
void BuildMenuBar(const std::vector<MenuItem>& menu, QMenuBar* bar,
                  const std::function<void(uint16_t)>& onCommand);

QImage ToImage(const IconImage& image);
QIcon ToIcon(const std::vector<IconImage>& images);

// UTF-16 resource text as Qt text.
QString ToQString(const std::u16string& text);

}  // namespace cyclara::qt
