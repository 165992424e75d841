#include "serial/adapter.h"

namespace cyclara {

// Windows names no driver to a program that opens a COM port.
Adapter FindAdapter(const std::string&, const std::string&) {
    return {};
}

}  // namespace cyclara
