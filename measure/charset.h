// The user's character set: what is typed, what header.cfg holds and what a
// terminal shows are bytes in the locale's code set; the program's own texts
// are UTF-8. Converting happens only at the edges, with these.
#pragma once

#include <string>
#include <string_view>

namespace kurvane {

// Which converter serves a locale code set (as nl_langinfo(CODESET) names it):
// Shift-JIS in any of its names takes the Windows mapping CP932 (the strict JIS
// table turns the backslash byte into a yen sign); plain ASCII, as in the C
// locale, and unknown code sets take UTF-8.
std::string ConverterFor(const std::string& codeset);

// The converter for the locale in force (after setlocale(LC_ALL, "")).
std::string LocaleConverter();

// Bytes in the converter's code set to UTF-8; bytes that do not decode become U+FFFD.
std::string ToUtf8(std::string_view bytes, const std::string& converter);

// UTF-8 to bytes in the converter's code set; characters it lacks become "?".
std::string FromUtf8(std::string_view utf8, const std::string& converter);

}  // namespace kurvane
