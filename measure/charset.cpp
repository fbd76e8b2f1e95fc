#include "measure/charset.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>

namespace kurvane {

namespace {

constexpr const char* kUtf8 = "UTF-8";
constexpr const char* kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD
constexpr char kUnmappable = '?';

// Upper case, without "-" and "_", so "Shift_JIS", "SHIFT-JIS" and "shiftjis" compare equal.
std::string Folded(const std::string& name)
{
    std::string key;
    for (const char c : name) {
        if (c == '-' || c == '_')
            continue;
        key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return key;
}

// Length of the UTF-8 sequence a lead byte starts; 1 for a stray byte.
std::size_t SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; at a byte that does not convert, appends substitute
    // and skips skip(byte) input bytes.
    template <typename Skip>
    std::string Run(std::string_view input, std::string_view substitute, Skip skip)
    {
        std::string output;
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char block[4096];
        while (inLeft > 0) {
            char* out = block;
            std::size_t outLeft = sizeof block;
            const std::size_t done = iconv(cd_, &in, &inLeft, &out, &outLeft);
            output.append(block, static_cast<std::size_t>(out - block));
            if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            // EILSEQ or an incomplete sequence at the end: replace and go on.
            output += substitute;
            const std::size_t n = std::min(inLeft, skip(static_cast<unsigned char>(*in)));
            in += n;
            inLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return output;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::string ConverterFor(const std::string& codeset)
{
    const std::string key = Folded(codeset);
    if (key.empty() || key == "UTF8" || key == "ANSIX3.41968" || key == "ASCII" || key == "USASCII")
        return kUtf8;
    if (key == "SHIFTJIS" || key == "SJIS" || key == "MSKANJI" || key == "CSSHIFTJIS" || key == "WINDOWS31J" ||
        key == "CP932" || key == "MS932" || key == "IBM943")
        return "CP932";
    Converter probe(kUtf8, codeset.c_str());
    return probe.Ok() ? codeset : kUtf8;
}

std::string LocaleConverter() { return ConverterFor(nl_langinfo(CODESET)); }

std::string ToUtf8(std::string_view bytes, const std::string& converter)
{
    if (converter == kUtf8)
        return std::string(bytes);
    Converter utf8(kUtf8, converter.c_str());
    return utf8.Run(bytes, kReplacementUtf8, [](unsigned char) { return std::size_t{1}; });
}

std::string FromUtf8(std::string_view utf8, const std::string& converter)
{
    if (converter == kUtf8)
        return std::string(utf8);
    Converter local(converter.c_str(), kUtf8);
    return local.Run(utf8, std::string_view(&kUnmappable, 1), SequenceLength);
}

}  // namespace kurvane
