#include "ui/qt/handles.h"

#include "ui/compiled_resources.h"

namespace cyclara::qt {

QWidget* ClientAreaOf(QWidget* window) {
    auto* area = window->findChild<QWidget*>(kClientAreaName, Qt::FindDirectChildrenOnly);
    return area != nullptr ? area : window;
}

const ResourceFile& Resources() {
    static const ResourceFile file =
        ResourceFile::Parse(CompiledResources()).value_or(ResourceFile{});
    return file;
}

}  // namespace cyclara::qt
