#include "logger/epoch/anchor_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace cyclara::logger {

namespace {

// Bounds what is read: the file holds one short line.
constexpr std::streamsize kLongestText = 256;

std::string Trimmed(std::string text) {
    const size_t end = text.find_last_not_of(" \t\r\n");
    text.erase(end == std::string::npos ? 0 : end + 1);
    return text.substr(std::min(text.size(), text.find_first_not_of(" \t")));
}

}  // namespace

std::optional<GridTimeAnchor> AnchorFile::Look() {
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
