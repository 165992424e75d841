#include "logger/epoch/anchor_file.h"

#include "record/record_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace cyclara::logger {

std::optional<GridTimeAnchor> ParseGridTimeAnchor(const std::string& text) {
    const size_t at = text.find('@');
    if (at == std::string::npos) {
        return std::nullopt;
    }
    double seconds = 0;
    const char* first = text.data();
    const auto [end, error] = std::from_chars(first + (text[0] == '+' ? 1 : 0), first + at,
                                              seconds);
    if (error != std::errc() || end != first + at || !std::isfinite(seconds)) {
        return std::nullopt;
    }
    std::string utc = text.substr(at + 1);
    if (utc.find('.') == std::string::npos && !utc.empty() && utc.back() == 'Z') {
        utc.insert(utc.size() - 1, ".000000");
    }
    const std::optional<int64_t> milliseconds = ParseUtc(utc);
    if (!milliseconds) {
        return std::nullopt;
    }
    return GridTimeAnchor{std::llround(seconds * 1e6), *milliseconds * 1'000'000};
}


namespace {

// Bounds what is read: the file holds one short line.
constexpr std::streamsize kLongestText = 256;

std::string Trimmed(std::string text) {
    const size_t end = text.find_last_not_of(" \t\r\n");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text.substr(std::min(text.size(), text.find_first_not_of(" \t")));
}

}  // namespace

// Only a file is opened: a pipe or a device there would hold the main thread in its open, and
// with it every stop. Looked at each time, as the user's job may put a file in its place.
std::optional<GridTimeAnchor> AnchorFile::Look() {
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::status(m_path, error).type();
    if (type != std::filesystem::file_type::regular) {
        if (type != std::filesystem::file_type::not_found && !m_toldNotAFile) {
            std::fprintf(stderr, "cyclara-log: %s is not a file; no grid time figure is read "
                                 "from it\n", m_path.c_str());
        }
        m_toldNotAFile = type != std::filesystem::file_type::not_found;
        return std::nullopt;
    }
    m_toldNotAFile = false;
    std::ifstream file(m_path);
    if (!file) {
        return std::nullopt;  // not written yet, or being replaced
    }
    std::string text(kLongestText, '\0');
    file.read(text.data(), kLongestText);
    text.resize(static_cast<size_t>(file.gcount()));
    text = Trimmed(text);
    if (m_lastText == text) {
        return std::nullopt;
    }
    m_lastText = text;
    std::optional<GridTimeAnchor> anchor = ParseGridTimeAnchor(text);
    if (!anchor) {
        std::fprintf(stderr, "cyclara-log: %s holds no SECONDS@UTC grid time figure\n",
                     m_path.c_str());
    }
    return anchor;
}

}  // namespace cyclara::logger
