#include "logger/credentials.h"

#include <cstdlib>
#include <fstream>

namespace cyclara::logger {

std::string ReadCredential(const std::string& name) {
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    if (folder == nullptr) {
        return "";
    }
    std::ifstream file(std::string(folder) + "/" + name);
    std::string line;
    std::getline(file, line);
    return line;
}

}  // namespace cyclara::logger
