#pragma once
// Reference scanner for the tests and the benchmark: RipHTML transcribed step by step,
// whole-text replacements, lower-casing and searches from position 1 included. Slow on purpose.
#include "editor/Scanner.h"

namespace bw {

ScanResult literalScan(std::string_view page, ScanVariant variant);

} // namespace bw
