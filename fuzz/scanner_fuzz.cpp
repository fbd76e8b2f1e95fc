// The image scanner with its queue, fed one or several chunks as the receive
// loop would, held against a plain model of the scanning rules; then the queue
// is drained by TakeNextImage as the follow-up fetches would drain it.
//
// Input: TYPED-ADDRESS 0xFF CHUNK 0xFF CHUNK ... (a chunk longer than one
// receive buffer is cut into receive-sized pieces).
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "measure/images.h"
#include "measure/run.h"

namespace {

using kurvane::fuzz::Escaped;

// ---- The model: the rules step by step, with 1-based positions and a copy of every slice. ----

char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Folded(std::string_view text)
{
    std::string folded(text);
    std::transform(folded.begin(), folded.end(), folded.begin(), Fold);
    return folded;
}

// 1-based position of needle, ASCII letter case ignored; 0 when absent.
std::size_t FindFolded(std::string_view text, std::string_view needle)
{
    const std::size_t at = Folded(text).find(Folded(needle));
    return at == std::string::npos ? 0 : at + 1;
}

std::size_t Find(std::string_view text, char c)
{
    const std::size_t at = text.find(c);
    return at == std::string_view::npos ? 0 : at + 1;
}

// From the 1-based position to the end; empty past the end.
std::string From(std::string_view text, std::size_t position)
{
    return position > text.size() ? std::string() : std::string(text.substr(position - 1));
}

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string TrimmedKey(std::string_view reference)
{
    while (!reference.empty() && IsTrimmed(reference.front()))
        reference.remove_prefix(1);
    while (!reference.empty() && IsTrimmed(reference.back()))
        reference.remove_suffix(1);
    return std::string(reference);
}

int CompareFolded(std::string_view a, std::string_view b)
{
    const std::string x = Folded(a);
    const std::string y = Folded(b);
    const int order = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
    if (order != 0)
        return order < 0 ? -1 : 1;
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

// Keyed by the folded key, so the map's order (bytes compared unsigned) is the
// queue's order with letter case ignored, and a lookup ignores case too.
struct ModelQueue {
    std::map<std::string, std::string> keys;  // folded key -> key as first met
    std::int32_t GifCount = 0;

    bool Has(const std::string& key) const { return keys.count(Folded(key)) != 0; }

    void Add(const std::string& key)
    {
        keys.emplace(Folded(key), key);
        ++GifCount;
    }

    std::vector<std::string> Sorted() const
    {
        std::vector<std::string> sorted;
        for (const auto& entry : keys)
            sorted.push_back(entry.second);
        return sorted;
    }
};

// The reference that the tag at the start of start yields.
std::string ModelReference(std::string_view start)
{
    const std::size_t gt = Find(start, '>');
    const std::string tag = (gt == 0 || gt == 5) ? std::string() : std::string(start.substr(5, gt - 5));
    const std::size_t src = FindFolded(tag, "SRC");
    const std::string attribute = src != 0 ? From(tag, src + 3) : From(tag, 3);
    const std::size_t equals = Find(attribute, '=');
    const std::string value = equals != 0 ? From(attribute, equals + 1) : attribute;
    if (!value.empty() && (value[0] == ' ' || value[0] == '"')) {
        const std::size_t opening = Find(value, '"');
        const std::string quoted = opening != 0 ? From(value, opening + 1) : value;
        const std::size_t closing = Find(quoted, '"');
        return closing != 0 ? quoted.substr(0, closing - 1) : std::string();
    }
    if (const std::size_t blank = Find(value, ' '); blank != 0)
        return value.substr(0, blank - 1);
    const std::size_t end = Find(value, '>');
    return end != 0 ? value.substr(0, end - 1) : std::string();
}

// The remainder is kept as the offset where it begins in the chunk text, and
// the letters of the whole text are folded once: searching the folded copy from
// that offset is searching the remainder with letter case ignored.
void ModelScan(std::string_view chunk, ModelQueue& queue)
{
    const std::string_view text = chunk.substr(0, chunk.find('\0'));
    const std::string folded = Folded(text);
    std::size_t remainder = 0;
    while (folded.find("<IMG", remainder) != std::string::npos && folded.find("SRC", remainder) != std::string::npos) {
        const std::size_t start = folded.find("<IMG", remainder);
        remainder = start + 4;
        const std::string reference = ModelReference(text.substr(start));
        const std::string key = TrimmedKey(reference);
        if (!queue.Has(key) && FindFolded(reference, ".GIF") != 0)
            queue.Add(key);
    }
}

// ---- Checks on the real queue. ----

void CheckQueueShape(const kurvane::ImageQueue& queue, std::int32_t GifCount)
{
    const std::vector<std::string> entries = queue.Entries();
    FUZZ_CHECK(static_cast<std::size_t>(GifCount) == entries.size(),
               "GifCount " + std::to_string(GifCount) + ", entries " + std::to_string(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& key = entries[i];
        FUZZ_CHECK(!key.empty() && !IsTrimmed(key.front()) && !IsTrimmed(key.back()), "untrimmed key " + Escaped(key));
        FUZZ_CHECK(FindFolded(key, ".GIF") != 0, "key without .GIF " + Escaped(key));
        FUZZ_CHECK(i == 0 || CompareFolded(entries[i - 1], key) < 0,
                   "not ascending and unique ignoring case: " + Escaped(entries[i - 1]) + " then " + Escaped(key));
    }
}

void ScanChunk(std::string_view chunk, kurvane::ImageQueue& queue, std::int32_t& GifCount, ModelQueue& model)
{
    // Exactly the chunk's bytes in their own allocation: a read past them is caught.
    const auto copy = std::make_unique_for_overwrite<char[]>(chunk.size());
    std::memcpy(copy.get(), chunk.data(), chunk.size());
    kurvane::ScanImageReferences(std::string_view(copy.get(), chunk.size()), queue, GifCount);
    ModelScan(chunk, model);
    FUZZ_CHECK(GifCount == model.GifCount && queue.Count() == model.keys.size(),
               "chunk " + Escaped(chunk) + ": GifCount " + std::to_string(GifCount) + ", model " +
                   std::to_string(model.GifCount));
}

// Entries are only ever added, so comparing them once after the last chunk
// finds any difference an earlier chunk made.
void CheckQueue(const kurvane::ImageQueue& queue, std::int32_t GifCount, const std::vector<std::string>& expected)
{
    CheckQueueShape(queue, GifCount);
    const std::vector<std::string> entries = queue.Entries();
    for (std::size_t i = 0; i < expected.size(); ++i)
        FUZZ_CHECK(entries[i] == expected[i],
                   "entry " + std::to_string(i) + " is " + Escaped(entries[i]) + ", model " + Escaped(expected[i]));
}

// Follow-up fetches take the queue from its first entry on.
void Drain(kurvane::Unit1State& state, const std::string& typed, const std::vector<std::string>& expectedOrder)
{
    FUZZ_CHECK(!kurvane::TakeNextImage(state, false, typed), "an image was taken with images off");
    for (const std::string& reference : expectedOrder) {
        FUZZ_CHECK(kurvane::TakeNextImage(state, true, typed), "queue ran dry before " + Escaped(reference));
        FUZZ_CHECK(state.ImageMode, "ImageMode not set for " + Escaped(reference));
        const std::size_t slashes = reference.find("//");
        std::string target = typed;
        std::string path = reference;
        if (slashes != std::string::npos) {
            target = reference.substr(slashes + 2);
            path = target.find('/') == std::string::npos ? target : target.substr(target.find('/'));
        }
        FUZZ_CHECK(state.TargetAddress == target && state.ImagePath == path,
                   "reference " + Escaped(reference) + " gave target " + Escaped(state.TargetAddress) + " and path " +
                       Escaped(state.ImagePath) + ", expected " + Escaped(target) + " and " + Escaped(path));
    }
    FUZZ_CHECK(!kurvane::TakeNextImage(state, true, typed), "queue holds more than was scanned");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string_view> fields = kurvane::fuzz::SplitAllFields(kurvane::fuzz::AsText(data, size));
    const std::string typed(fields[0]);
    kurvane::Unit1State state;
    ModelQueue model;
    for (std::size_t i = 1; i < fields.size(); ++i) {
        std::string_view field = fields[i];
        do {
            ScanChunk(field.substr(0, kurvane::kReceiveBufferSize), state.ListBox1, state.GifCount, model);
            field.remove_prefix(std::min(field.size(), kurvane::kReceiveBufferSize));
        } while (!field.empty());
    }
    const std::vector<std::string> expected = model.Sorted();
    CheckQueue(state.ListBox1, state.GifCount, expected);
    Drain(state, typed, expected);
    return 0;
}
