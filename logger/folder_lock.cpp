#include "logger/folder_lock.h"

namespace cyclara::logger {

std::string HeldByAnother(const std::string& folder, std::string lockText) {
    while (!lockText.empty() && (lockText.back() == '\n' || lockText.back() == '\r')) {
        lockText.pop_back();
    }
    return folder + " is another logger's" +
           (lockText.empty() ? std::string() : " (process " + lockText + ")") +
           "; give each logger a --record folder of its own";
}

}  // namespace cyclara::logger
