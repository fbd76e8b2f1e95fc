// JSON Lines output of kurvane-measure: one object per measurement run.
#pragma once

#include <string>
#include <string_view>

#include "measure/run.h"

namespace kurvane {

// A JSON string literal. JSON is UTF-8: bytes that do not form UTF-8 become U+FFFD.
std::string JsonString(std::string_view bytes);

std::string RunToJson(const std::string& address, bool loadImages, const RunResult& result,
                      const std::string& decimalSeparator);

}  // namespace kurvane
