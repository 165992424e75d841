// Prometheus' text exposition format, as the logger's and the comparer's /metrics write it.
#pragma once

#include <cstdint>
#include <string>

namespace cyclara {

class Exposition {
  public:
    void Family(const char* name, const char* type, const char* help);
    // `labels` as Label makes them, joined by commas; empty for none.
    void Sample(const std::string& name, double value, const std::string& labels = "");
    void Gauge(const char* name, const char* help, double value);
    void Counter(const char* name, const char* help, uint64_t value);
    const std::string& Text() const { return m_text; }

  private:
    std::string m_text;
};

// name="value", with the value's backslashes, quotes and line ends escaped, as the format asks.
std::string Label(const std::string& name, const std::string& value);

}  // namespace cyclara
