#include "logger/credentials.h"

#include <cstdlib>
#include <fstream>

namespace cyclara::logger {

std::optional<std::string> ReadFirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    if (!file || !std::getline(file, line)) {
        return std::nullopt;
    }
    // A file written on Windows ends its line in CR LF; the CR is no part of the secret.
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::string ReadCredential(const std::string& name) {
    const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
    return folder != nullptr ? ReadFirstLine(std::string(folder) + "/" + name).value_or("") : "";
}

std::optional<std::string> ReadMqttPassword(const std::string& passwordFile, std::string& whyNot) {
    if (!passwordFile.empty()) {
        std::optional<std::string> password = ReadFirstLine(passwordFile);
        if (!password) {
            whyNot = "cannot read the MQTT password file " + passwordFile;
        }
        return password;
    }
    if (const char* fromEnvironment = std::getenv("CYCLARA_MQTT_PASSWORD")) {
        return std::string(fromEnvironment);
    }
    return ReadCredential("mqtt-password");
}

}  // namespace cyclara::logger
