#include "plot/offscreen.h"

#include <QtGlobal>

namespace cyclara::plot {

std::unique_ptr<QTemporaryDir> DrawWithoutAScreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    auto runtime = std::make_unique<QTemporaryDir>();
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime->isValid()) {
        qputenv("XDG_RUNTIME_DIR", runtime->path().toLocal8Bit());
    }
    return runtime;
}

}  // namespace cyclara::plot
