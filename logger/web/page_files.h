// The live page's files, embedded into the program when it is built: the page works with no
// network beyond the meter, and no request ever names a file on the disk.
#pragma once

#include <string_view>
#include <vector>

namespace cyclara::logger {

struct PageFile {
    std::string_view route;  // "/app.js"
    std::string_view type;   // its Content-Type
    std::string_view body;
};

const std::vector<PageFile>& PageFiles();

}  // namespace cyclara::logger
