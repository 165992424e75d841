// The program's resources as windres compiled them from res/cyclara.rc, built into the
// program so that the Qt backend reads the same dialogs, menus and icons as Windows does.
#pragma once

#include "ui/resource_reader.h"

namespace cyclara {

Bytes CompiledResources();

}  // namespace cyclara
