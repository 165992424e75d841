// Any byte stream into the frequency line assembler: the field shows at most two bytes, only
// when a line ends, and for a line that fits the buffer they are the start of that line; a
// line whose third and fourth bytes are "Hz" always shows.
#include "fuzz/require.h"
#include "measure/line_assembler.h"
#include "measure/measurement_display.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using cyclara::fuzz::Require;

struct LastField : cyclara::MeasurementDisplay {
    void SetFieldText(int, const char* text) override {
        shown = text;
        ++updates;
    }
    void SetIndicator(bool) override { std::abort(); }
    std::string shown;
    int updates = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cyclara::LineAssembler lines;
    LastField field;
    std::string line;
    // Only lines after the first full one are checked: the buffer starts zeroed, and the rules
    // speak of what a line leaves behind.
    for (size_t i = 0; i < size; ++i) {
        const char ch = static_cast<char>(data[i]);
        const int before = field.updates;
        lines.AppendLineChar(ch, field);
        if (ch != '\n') {
            line += ch;
            Require(field.updates == before);
            continue;
        }
        Require(field.shown.size() <= 2);
        const bool hz = line.size() >= 5 && line.size() < 256 && line.compare(2, 2, "Hz") == 0;
        Require(!hz || field.updates == before + 1);
        if (field.updates > before && line.size() < 256) {
            Require(line.compare(0, field.shown.size(), field.shown) == 0);
        }
        line.clear();
    }
    return 0;
}
