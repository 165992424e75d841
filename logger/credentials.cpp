#include "logger/credentials.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace cyclara::logger {

namespace {

std::filesystem::file_type TypeOf(const std::string& path) {
    std::error_code error;
    return std::filesystem::status(path, error).type();
}

}  // namespace

bool IsPlainFile(const std::string& path) {
    return TypeOf(path) == std::filesystem::file_type::regular;
}

std::string CannotRead(const std::string& what, const std::string& path) {
    const std::filesystem::file_type type = TypeOf(path);
    const char* why = type == std::filesystem::file_type::not_found ? " (no such file)"
                      : type != std::filesystem::file_type::regular ? " (not a file)"
                                                                    : "";
    return "cannot read the " + what + " " + path + why;
}

std::optional<std::string> ReadFirstLine(const std::string& path) {
    if (!IsPlainFile(path)) {
        return std::nullopt;
    }
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
            whyNot = CannotRead("MQTT password file", passwordFile);
        }
        return password;
    }
    if (const char* fromEnvironment = std::getenv("CYCLARA_MQTT_PASSWORD")) {
        return std::string(fromEnvironment);
    }
    return ReadCredential("mqtt-password");
}

}  // namespace cyclara::logger
