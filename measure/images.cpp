#include "measure/images.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kurvane {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

// A pattern of up to four bytes searched with ASCII letter case ignored. A text
// byte matches a letter after OR-ing 0x20 into it (only 'A'..'Z' and 'a'..'z'
// become the lower-case letter that way) and any other pattern byte exactly, so
// no folded copy of the text is ever made.
struct FoldedPattern {
    std::size_t size = 0;
    unsigned char fold[4] = {};  // 0x20 for a letter, 0 for any other byte
    unsigned char value[4] = {};  // the byte a matching text byte becomes after OR-ing fold
    // Starts tried one by one before a wide search is set up: worth it where
    // the pattern mostly follows within a byte or two, as "=" follows "SRC".
    std::size_t nearby = 0;

    constexpr FoldedPattern(std::string_view text, std::size_t tryFirst) : size(text.size()), nearby(tryFirst)
    {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = text[i];
            const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            fold[i] = letter ? 0x20 : 0;
            value[i] = static_cast<unsigned char>(letter ? (c | 0x20) : c);
        }
    }
};

// Whether the pattern starts at `at`, compared byte by byte with the pattern's
// bytes as constants (the fold expression spells the comparisons out).
template <const FoldedPattern& P, std::size_t... I>
bool MatchesAt(const unsigned char* at, std::index_sequence<I...>)
{
    return (((at[I] | P.fold[I]) == P.value[I]) && ...);
}

template <const FoldedPattern& P>
bool MatchesAt(const unsigned char* at)
{
    return MatchesAt<P>(at, std::make_index_sequence<P.size>{});
}

// Tags lie apart (unless one "<IMG" follows right on another) and a tag's ">"
// ends its text, so those two are searched wide almost at once; the rest are
// found inside a tag, mostly close by.
constexpr FoldedPattern kImgOpen("<IMG", 1);
constexpr FoldedPattern kClose(">", 0);
constexpr FoldedPattern kSrc("SRC", 4);
constexpr FoldedPattern kEquals("=", 4);
constexpr FoldedPattern kQuote("\"", 4);
constexpr FoldedPattern kBlank(" ", 4);
constexpr FoldedPattern kGif(".GIF", 4);

// The wide part of Find below, from start i on (i <= lastStart).
template <const FoldedPattern& P>
std::size_t FindFar(const unsigned char* s, std::size_t n, std::size_t i)
{
    constexpr std::size_t m = P.size;
    const std::size_t lastStart = n - m;
    if constexpr (m == 1 && P.fold[0] == 0) {
        const void* hit = std::memchr(s + i, P.value[0], n - i);
        return hit ? static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - s) : kNone;
    }
#if defined(__SSE2__)
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(P.fold[0]));
    const __m128i firstValue = _mm_set1_epi8(static_cast<char>(P.value[0]));
    const __m128i lastFold = _mm_set1_epi8(static_cast<char>(P.fold[m - 1]));
    const __m128i lastValue = _mm_set1_epi8(static_cast<char>(P.value[m - 1]));
    // Both loads of a block stay inside the text: the last byte read is lastStart + 15 + m - 1 < n.
    for (; i + 15 <= lastStart; i += 16) {
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + m - 1));
        const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(head, firstFold), firstValue),
                                           _mm_cmpeq_epi8(_mm_or_si128(tail, lastFold), lastValue));
        for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(both)); mask != 0; mask &= mask - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
            if (MatchesAt<P>(s + at))
                return at;
        }
    }
#endif
    for (; i <= lastStart; ++i) {
        if (MatchesAt<P>(s + i))
            return i;
    }
    return kNone;
}

// The first start at or after `from` where the whole pattern lies inside text,
// or kNone. Single bytes go to memchr; longer patterns compare their first and
// last byte sixteen starts at a time and check the rest only where both match.
template <const FoldedPattern& P>
inline std::size_t Find(std::string_view text, std::size_t from)
{
    const std::size_t n = text.size();
    if (P.size > n || from > n - P.size)
        return kNone;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t lastStart = n - P.size;
    std::size_t i = from;
    if constexpr (P.nearby > 0) {
        for (const std::size_t near = std::min(lastStart, from + P.nearby - 1); i <= near; ++i) {
            if (MatchesAt<P>(s + i))
                return i;
        }
        if (i > lastStart)
            return kNone;
    }
    return FindFar<P>(s, n, i);
}

// Answers "where is the first occurrence at or after x" for one pattern, keeping
// the last answer: a question about a position between the last one asked and
// its answer costs nothing, one a little before it searches only the gap. The
// scan's questions move forward, so each pattern costs one pass over the chunk
// however many tags share the same bytes.
template <const FoldedPattern& P>
class NextOccurrence {
public:
    explicit NextOccurrence(std::string_view text) : text_(text) {}

    std::size_t From(std::size_t x)
    {
        if (asked_ != kNone && x >= asked_ && x <= answer_)
            return answer_;  // kNone as answer_ also covers every x >= asked_
        if (asked_ != kNone && x < asked_) {
            // Starts in [x, asked_) only; beyond them the last answer holds.
            const std::size_t end = std::min(text_.size(), asked_ + P.size - 1);
            const std::size_t hit = Find<P>(text_.substr(0, end), x);
            if (hit != kNone)
                answer_ = hit;
        } else {
            answer_ = Find<P>(text_, x);
        }
        asked_ = x;
        return answer_;
    }

private:
    std::string_view text_;
    std::size_t asked_ = kNone;
    std::size_t answer_ = kNone;
};

// Keys are short; a plain loop beats a call to memcmp.
bool SameBytes(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

bool IsTrimmed(unsigned char c) { return c <= 0x20; }

std::string_view TrimControlsAndBlanks(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsTrimmed(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsTrimmed(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

// One chunk's scan. Positions are 0-based offsets into the chunk; "the
// remainder" and every slice of it are kept as offsets, never copied.
class ChunkScanner {
public:
    ChunkScanner(std::string_view chunk, ImageQueue& queue, std::int32_t& GifCount)
        : chunk_(chunk), queue_(queue), GifCount_(GifCount)
    {
    }

    void Run()
    {
        std::size_t remainder = 0;
        for (;;) {
            const std::size_t open = img_.From(remainder);
            // "SRC" anywhere in the remainder keeps the loop going, not only in this tag.
            if (open == kNone || src_.From(remainder) == kNone)
                return;
            remainder = open + 4;
            Tag(open);
        }
    }

private:
    // The tag whose "<IMG" starts at open. Its text runs from open + 5 (the byte
    // after "<IMG" is skipped, whatever it is) up to and including the first ">".
    void Tag(std::size_t open)
    {
        const std::size_t close = gt_.From(open + 4);
        if (close == kNone || close == open + 4)
            return;  // cut off by the chunk's end, or "<IMG>": empty tag text
        // Tags whose "<IMG" come before one ">" share their text; searching it
        // afresh for each would be quadratic, so those go through the cursors.
        shared_ = close == lastClose_;
        lastClose_ = close;
        // After the tag's first "SRC" (LOWSRC counts), else from its 3rd byte.
        // Asking from open + 4 keeps the cursor's questions in order: the next
        // loop test asks from there. An "SRC" right there is not in the tag.
        std::size_t src = shared_ ? src_.From(open + 4) : InTag(src_, open + 5, close);
        if (src == open + 4)
            src = src_.From(open + 5);
        // Tags that share their ">" and their "SRC" share everything after it.
        if (shared_ && src < close && src == lastSrc_)
            return;
        lastSrc_ = src;
        const std::size_t attribute = src < close ? src + 3 : open + 7;
        if (attribute > close)
            return;  // empty attribute text gives an empty reference
        // The value text runs to the tag's ">", which is also its first ">".
        const std::size_t equals = InTag(equals_, attribute, close);
        const std::size_t value = equals < close ? equals + 1 : attribute;
        const char first = chunk_[value];
        if (first == ' ' || first == '"') {
            // Only double quotes delimit; with no closing one the reference is empty.
            const std::size_t opening = InTag(openQuote_, value, close);
            if (opening > close)
                return;
            const std::size_t closing = InTag(closeQuote_, opening + 1, close);
            if (closing > close)
                return;
            Offer(opening + 1, closing);
            return;
        }
        const std::size_t blank = InTag(blank_, value, close);
        Offer(value, blank < close ? blank : close);
    }

    // The first occurrence at or after from; any answer past close (kNone
    // included) means none in the tag. A tag of its own is searched directly,
    // which over all such tags reads each byte once.
    template <const FoldedPattern& P>
    std::size_t InTag(NextOccurrence<P>& cursor, std::size_t from, std::size_t close)
    {
        return shared_ ? cursor.From(from) : Find<P>(chunk_.substr(0, close + 1), from);
    }

    // The reference is chunk_[begin, end).
    void Offer(std::size_t begin, std::size_t end)
    {
        // Tags that share bytes can name the same reference again; nothing new can come of it.
        if (begin == lastBegin_ && end == lastEnd_)
            return;
        lastBegin_ = begin;
        lastEnd_ = end;
        if (end - begin < 4)
            return;  // too short to hold ".GIF"
        const std::size_t gif = InTag(gif_, begin, end - 1);
        if (gif == kNone || gif + 4 > end)
            return;
        const std::string_view key = TrimControlsAndBlanks(chunk_.substr(begin, end - begin));
        // A page names the same image many times; the last key met answers most lookups.
        if (SameBytes(key, lastKey_))
            return;
        lastKey_ = key;
        if (queue_.AddIfAbsent(key))
            ++GifCount_;
    }

    std::string_view chunk_;
    ImageQueue& queue_;
    std::int32_t& GifCount_;

    NextOccurrence<kImgOpen> img_{chunk_};
    NextOccurrence<kSrc> src_{chunk_};
    NextOccurrence<kClose> gt_{chunk_};
    NextOccurrence<kEquals> equals_{chunk_};
    NextOccurrence<kQuote> openQuote_{chunk_};
    NextOccurrence<kQuote> closeQuote_{chunk_};
    NextOccurrence<kBlank> blank_{chunk_};
    NextOccurrence<kGif> gif_{chunk_};

    bool shared_ = false;  // the current tag shares its ">" with the one before
    std::size_t lastClose_ = kNone;
    std::size_t lastSrc_ = kNone;
    std::size_t lastBegin_ = kNone;
    std::size_t lastEnd_ = kNone;
    std::string_view lastKey_;
};

}  // namespace

void ScanImageReferences(std::string_view chunk, ImageQueue& queue, std::int32_t& GifCount)
{
    // The chunk text ends at its first zero byte.
    if (const void* zero = std::memchr(chunk.data(), 0, chunk.size()))
        chunk = chunk.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - chunk.data()));
    ChunkScanner(chunk, queue, GifCount).Run();
}

bool TakeNextImage(Unit1State& state, bool imagesWanted, const std::string& typedAddress)
{
    if (state.ListBox1.Empty() || !imagesWanted)
        return false;
    state.ImageMode = true;
    state.ImagePath = state.ListBox1.First();
    const std::size_t slashes = state.ImagePath.find("//");
    if (slashes != std::string::npos) {
        // Absolute, whatever stands before the "//": host and path come from the reference.
        state.TargetAddress = state.ImagePath.substr(slashes + 2);
        const std::size_t slash = state.TargetAddress.find('/');
        state.ImagePath = slash == std::string::npos ? state.TargetAddress : state.TargetAddress.substr(slash);
    } else {
        // Relative: the host and directory of the address as typed, blanks and all.
        state.TargetAddress = typedAddress;
    }
    state.ListBox1.RemoveFirst();
    return true;
}

}  // namespace kurvane
