// What every fuzz target shares: a check that stops the process with a message
// (libFuzzer then keeps the input as a crash file, the corpus replay fails), and
// the cutting of one input into the fields a target needs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kurvane::fuzz {

// Fields of an input are separated by this byte: it occurs in no ASCII,
// UTF-8 or Shift-JIS text, so seeds stay readable and rarely need escaping.
inline constexpr char kFieldSeparator = '\xff';

// The bytes as a C string literal, for failure messages.
inline std::string Escaped(std::string_view bytes, std::size_t limit = 400)
{
    std::string text = "\"";
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            text += escape;
        }
    }
    if (bytes.size() > limit)
        text += "...";
    return text + "\" (" + std::to_string(bytes.size()) + " bytes)";
}

[[noreturn]] inline void Fail(const char* file, int line, const char* condition, const std::string& detail)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n%s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

// The detail is built only when the check fails.
#define FUZZ_CHECK(condition, detail)                                                                                  \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::kurvane::fuzz::Fail(__FILE__, __LINE__, #condition, (detail));                                           \
    } while (0)

// The first count - 1 fields each end at a separator byte; the last field takes
// the rest, separators included. Fields the input does not reach are empty.
inline std::vector<std::string_view> SplitFields(std::string_view input, std::size_t count)
{
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const std::size_t end = input.find(kFieldSeparator);
        if (end == std::string_view::npos)
            break;
        fields.push_back(input.substr(0, end));
        input.remove_prefix(end + 1);
    }
    fields.push_back(input);
    fields.resize(count);
    return fields;
}

// Every field, however many the input holds.
inline std::vector<std::string_view> SplitAllFields(std::string_view input)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t end = input.find(kFieldSeparator);
        fields.push_back(input.substr(0, end));
        if (end == std::string_view::npos)
            return fields;
        input.remove_prefix(end + 1);
    }
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace kurvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
