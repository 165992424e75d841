// A comparison as a picture, in cyclara-plot's style: the two series over each other (B moved
// by the lag found), their difference, and the difference's histogram.
#pragma once

#include "compare/comparison.h"

#include <string>

namespace cyclara::compare {

// PNG, or SVG when `path` ends in ".svg"; false when it cannot be written. Needs a
// QApplication.
bool DrawComparison(const Comparison& comparison, const Series& a, const Series& b,
                    const std::string& path);

}  // namespace cyclara::compare
