#include "metrics/exposition.h"

#include <charconv>

namespace cyclara {

void Exposition::Family(const char* name, const char* type, const char* help) {
    m_text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void Exposition::Sample(const std::string& name, double value, const std::string& labels) {
    // The shortest text that reads back as the same number.
    char number[32];
    char* end = std::to_chars(number, number + sizeof number, value).ptr;
    m_text += name + (labels.empty() ? "" : "{" + labels + "}") + " " + std::string(number, end) +
              "\n";
}

void Exposition::Gauge(const char* name, const char* help, double value) {
    Family(name, "gauge", help);
    Sample(name, value);
}

void Exposition::Counter(const char* name, const char* help, uint64_t value) {
    Family(name, "counter", help);
    Sample(name, static_cast<double>(value));
}

std::string Label(const std::string& name, const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        escaped += c == '\\' ? "\\\\" : c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
    }
    return name + "=\"" + escaped + "\"";
}

}  // namespace cyclara
