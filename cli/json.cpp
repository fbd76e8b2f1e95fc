#include "cli/json.h"

#include <charconv>
#include <cstdio>

#include "charges/charges.h"

namespace kurvane {

namespace {

// Length of the valid UTF-8 sequence starting at text[i], 0 if there is none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (c & 0x3F);
    }
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    return (value < minimum || value > 0x10FFFF || surrogate) ? 0 : length;
}

std::string Number(double value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc{} ? std::string(text, end) : "null";
}

std::string Field(const char* name, const std::string& value) { return JsonString(name) + ":" + value; }
std::string Field(const char* name, std::int64_t value) { return Field(name, std::to_string(value)); }

std::string FetchToJson(const FetchRecord& fetch)
{
    return "{" + Field("host", JsonString(fetch.host)) + "," + Field("path", JsonString(fetch.path)) + "," +
           Field("sent", fetch.sent) + "," + Field("received", fetch.received) + "}";
}

}  // namespace

std::string JsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x80) {
            const std::size_t length = Utf8SequenceLength(bytes, i);
            out += length ? std::string(bytes.substr(i, length)) : "\\ufffd";
            i += length ? length : 1;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + "\"";
}

std::string RunToJson(const std::string& address, bool loadImages, const RunResult& result,
                      const std::string& decimalSeparator)
{
    const bool ok = result.end == RunEnd::Report;
    const std::int64_t total = result.RunSent + result.RunReceived;
    const std::int64_t packets = PacketCount(total, result.PacketSize);
    const std::string null = "null";
    std::string fetches = "[";
    for (const FetchRecord& fetch : result.fetches)
        fetches += (fetches.size() > 1 ? "," : "") + FetchToJson(fetch);
    fetches += "]";
    const std::string settings = "{" + Field("packet_size", result.PacketSize) + "," +
                                 Field("price", Number(result.PacketPrice)) + "," + Field("port", result.port) + "," +
                                 Field("images", loadImages ? "true" : "false") + "}";
    return "{" + Field("address", JsonString(address)) + "," + Field("ok", ok ? "true" : "false") + "," +
           Field("message", ok ? null : JsonString(result.text)) + "," + Field("sent", result.RunSent) + "," +
           Field("received", result.RunReceived) + "," + Field("total", total) + "," +
           Field("kilobytes", ok ? JsonString(FormatAmount(KiloBytes(total), decimalSeparator)) : null) + "," +
           Field("charge",
                 ok ? JsonString(FormatAmount(PacketCharge(packets, result.PacketPrice), decimalSeparator)) : null) +
           "," + Field("gif_count", result.GifCount) + "," + Field("packets", ok ? std::to_string(packets) : null) +
           "," + Field("settings", settings) + "," + Field("fetches", fetches) + "}";
}

}  // namespace kurvane
