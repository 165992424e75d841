#include "measure/log_files.h"

#include <filesystem>
#include <system_error>

namespace cyclara {

bool AppendBegunWithHeader(const std::string& path, const std::string& header,
                           const std::string& rows) {
    if (CreateNewFile(path) == CreateOutcome::kFailed) {
        return false;
    }
    std::error_code ignored;
    const bool empty = std::filesystem::file_size(path, ignored) == 0;
    return AppendWhole(path, empty ? header + "\n" + rows : rows);
}

}  // namespace cyclara
