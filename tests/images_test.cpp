// The GIF reference scanner and the image queue, checked against a literal
// transcription of the scanning rules, and the turning of queued references
// into the next fetch's address and path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "measure/images.h"

namespace kurvane {
namespace {

using namespace std::string_literals;

// ---------------------------------------------------------------------------
// The rules as plainly as they read: a folded copy of the remainder on every
// pass, 1-based positions, a slice copied for every step, a list searched
// entry by entry. Slow and quadratic, but easy to hold against the rules.
namespace literal {

constexpr std::size_t kToEnd = std::string::npos;

std::string Upper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// 1-based position of the first occurrence, 0 when there is none.
std::size_t Pos(std::string_view needle, std::string_view haystack)
{
    const std::size_t at = haystack.find(needle);
    return at == std::string_view::npos ? 0 : at + 1;
}

// count bytes from the 1-based index on; nothing when the index is past the end.
std::string Copy(const std::string& text, std::size_t index, std::size_t count)
{
    if (index < 1 || index > text.size())
        return "";
    return text.substr(index - 1, count);
}

std::string Trim(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20)
        --end;
    return text.substr(begin, end - begin);
}

int Compare(const std::string& a, const std::string& b)
{
    const std::string x = Upper(a);
    const std::string y = Upper(b);
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        if (x[i] != y[i])
            return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[i]) ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

// The hidden sorted list: exact-match lookup ignoring case, sorted insertion.
struct SortedList {
    std::vector<std::string> items;

    int IndexOf(const std::string& key) const
    {
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (Compare(items[i], key) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
    void Add(const std::string& key)
    {
        std::size_t at = 0;
        while (at < items.size() && Compare(items[at], key) <= 0)
            ++at;
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), key);
    }
};

void Scan(std::string_view received, SortedList& list, std::int32_t& GifCount)
{
    const std::string chunk(received.substr(0, received.find('\0')));
    std::string remainder = chunk;
    while (Pos("<IMG", Upper(remainder)) > 0 && Pos("SRC", Upper(remainder)) > 0) {
        const std::string start = Copy(remainder, Pos("<IMG", Upper(remainder)), kToEnd);
        remainder = Copy(start, 5, kToEnd);
        const std::size_t close = Pos(">", start);
        const std::string tag = close == 0 ? "" : Copy(start, 6, close - 5);
        const std::size_t src = Pos("SRC", Upper(tag));
        const std::string attribute = src > 0 ? Copy(tag, src + 3, kToEnd) : Copy(tag, 3, kToEnd);
        const std::size_t equals = Pos("=", attribute);
        const std::string value = equals > 0 ? Copy(attribute, equals + 1, kToEnd) : attribute;
        std::string reference;
        if (!value.empty() && (value[0] == ' ' || value[0] == '"')) {
            const std::size_t quote = Pos("\"", value);
            const std::string quoted = quote > 0 ? Copy(value, quote + 1, kToEnd) : value;
            const std::size_t end = Pos("\"", quoted);
            reference = end > 0 ? Copy(quoted, 1, end - 1) : "";
        } else if (Pos(" ", value) > 0) {
            reference = Copy(value, 1, Pos(" ", value) - 1);
        } else {
            const std::size_t end = Pos(">", value);
            reference = end > 0 ? Copy(value, 1, end - 1) : "";
        }
        const std::string key = Trim(reference);
        if (list.IndexOf(key) < 0 && Pos(".GIF", Upper(reference)) > 0) {
            list.Add(key);
            ++GifCount;
        }
    }
}

}  // namespace literal

std::string Printable(std::string_view bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

struct Scanned {
    std::vector<std::string> keys;
    std::int32_t GifCount = 0;
};

Scanned ScanChunks(const std::vector<std::string>& chunks)
{
    ImageQueue queue;
    Scanned result;
    for (const std::string& chunk : chunks)
        ScanImageReferences(chunk, queue, result.GifCount);
    result.keys = queue.Entries();
    return result;
}

// ---------------------------------------------------------------------------
// Which references one chunk yields, and under which key.

struct ScanCase {
    const char* name;
    std::string chunk;
    std::vector<std::string> keys;  // in queue order
};

const ScanCase kScanCases[] = {
    {"double_quoted", R"(<img src="a.gif">)", {"a.gif"}},
    {"unquoted_ends_at_blank", "<IMG SRC=b.GIF WIDTH=10>", {"b.GIF"}},
    {"blanks_around_equals", R"(<img src = "c.gif">)", {"c.gif"}},
    {"blanks_inside_quotes_trimmed", R"(<img src=" d.gif ">)", {"d.gif"}},
    {"single_quotes_kept", "<img src='e.gif'>", {"'e.gif'"}},
    {"unquoted_after_blank_takes_next_quoted", R"(<img src= f.gif alt="logo">)", {}},
    {"next_quoted_value_taken_instead", R"(<img src= f.gif alt="logo.gif">)", {"logo.gif"}},
    {"blank_then_no_quote_gives_nothing", "<img src= f.gif>", {}},
    {"query_kept", "<img src=g.gif?size=2>", {"g.gif?size=2"}},
    {"gif_anywhere_in_reference", "<img src=h.gifs/i.png>", {"h.gifs/i.png"}},
    {"not_a_gif", "<img src=j.jpg><img src=k.gi>", {}},
    {"src_not_first_attribute", "<img width=1 src=l.gif>", {"l.gif"}},
    {"lowsrc_before_src", "<img lowsrc=m.gif src=n.gif>", {"m.gif"}},
    {"tag_without_src_after_one_with", R"(<img src="a.gif"><img alt=o.gif>)", {"a.gif", "o.gif"}},
    {"no_src_anywhere", "<img alt=o.gif>", {}},
    {"src_between_tags_counts", "<img alt=x> src <img alt=p.gif>", {"p.gif"}},
    {"case_of_tag_and_attribute_ignored", R"(<ImG sRc="Q.GiF">)", {"Q.GiF"}},
    {"duplicates_ignoring_case", R"(<img src="a.gif"><img src="A.GIF"><img src="a.gif">)", {"a.gif"}},
    {"queue_sorted_ignoring_case", "<img src=b.gif><img src=A.gif><img src=c.gif>", {"A.gif", "b.gif", "c.gif"}},
    {"unclosed_quote", R"(<img src="r.gif>)", {}},
    {"close_inside_value_ends_tag", R"(<img alt="a>b" src="s.gif">)", {}},
    {"tag_cut_by_chunk_end", R"(<img src="t.gif")", {}},
    {"tab_is_not_a_blank", "<img src=\t\"u.gif\">", {"\"u.gif\""}},
    {"controls_trimmed_from_key", "<img src=\"\t\r\nv.gif\r\n\">", {"v.gif"}},
    {"byte_after_img_skipped", "<img\tsrc=w.gif>", {"w.gif"}},
    {"img_glued_to_src", "<imgsrc=x.gif>", {"x.gif"}},
    {"glued_src_not_in_tag_text", "<imgsrc=x.gif src=y.gif>", {"y.gif"}},
    {"empty_tag", "<img>src", {}},
    {"headers_scanned_too", "HTTP/1.0 200 OK\r\nX-Note: <img src=y.gif>\r\n\r\n<p>", {"y.gif"}},
    {"double_byte_name_kept", "<img src=\"\x89\xe6\x91\x9c.gif\">", {"\x89\xe6\x91\x9c.gif"}},
    {"zero_byte_ends_chunk", "<img src=\"a.gif\">\0<img src=\"b.gif\">"s, {"a.gif"}},
    {"zero_byte_inside_reference", "<img src=\"a\0.gif\">"s, {}},
    {"gif_only_in_another_attribute", R"(<img src="x.png" alt=".gif">)", {}},
    // The inner tag's reference starts where the outer one's does but ends at a blank.
    {"tag_inside_quoted_value", R"(<img src <img Y"a.gif b"> src)", {"a.gif", "a.gif b"}},
};

void PrintTo(const ScanCase& c, std::ostream* out) { *out << c.name; }

class ScanTable : public testing::TestWithParam<ScanCase> {};

TEST_P(ScanTable, QueuesExpectedKeys)
{
    const ScanCase& c = GetParam();
    const Scanned scanned = ScanChunks({c.chunk});
    EXPECT_EQ(scanned.keys, c.keys);
    EXPECT_EQ(scanned.GifCount, static_cast<std::int32_t>(c.keys.size()));
}

INSTANTIATE_TEST_SUITE_P(Tags, ScanTable, testing::ValuesIn(kScanCases),
                         [](const testing::TestParamInfo<ScanCase>& row) { return std::string(row.param.name); });

TEST(ScanImageReferences, FirstSpellingMetIsKeptAcrossChunks)
{
    const Scanned scanned = ScanChunks({"<img src=Pic.gif>", "<img src=PIC.GIF><img src=pic.gif>"});
    EXPECT_EQ(scanned.keys, std::vector<std::string>{"Pic.gif"});
    EXPECT_EQ(scanned.GifCount, 1);
}

TEST(ScanImageReferences, TagSplitBetweenChunksYieldsNothing)
{
    // Neither half has what it takes: the first lacks ">", the second "<IMG".
    EXPECT_TRUE(ScanChunks({R"(<p><img src="a.gi)", R"(f"></p>)"}).keys.empty());
    EXPECT_TRUE(ScanChunks({"<p><im", R"(g src="a.gif"></p>)"}).keys.empty());
    // A ">" inside a value closes the first half early; the rest of the tag is lost.
    EXPECT_EQ(ScanChunks({R"(<img alt=">" src="b.gif)", R"("><img src="c.gif">)"}).keys,
              std::vector<std::string>{"c.gif"});
}

TEST(ScanImageReferences, NeverReadsPastTheView)
{
    // The view ends inside a tag; what follows it in memory would complete the tag.
    const std::string memory = R"(<img src="a.gif"><img src="b.gif">)";
    const std::size_t cut = memory.find("b.gif") + 2;
    ImageQueue queue;
    std::int32_t count = 0;
    ScanImageReferences(std::string_view(memory).substr(0, cut), queue, count);
    EXPECT_EQ(queue.Entries(), std::vector<std::string>{"a.gif"});
    EXPECT_EQ(count, 1);
}

// ---------------------------------------------------------------------------
// The scanner against the literal rules on generated pages.

// Pieces that the rules treat specially, so that random pages meet the quirks often.
const std::vector<std::string> kPieces = {
    "<img",    "<IMG", "<iMg", "<im",  "<",        ">",    ">",       " ",    " ",           "  ",     "\t",
    "\r\n",    "=",    "=",    "\"",   "\"",       "'",    "src",     "SRC",  "Src",         "lowsrc", "alt",
    "width=1", "a",    "B",    "x",    "/",        "//",   "http://", ".gif", ".GIF",        ".Gif",   ".gi",
    "f",       ".png", "?q=1", "\x01", "\x81\x40", "\xE9", "\xC9",    "\0"s,  "<img src=\"", "\">",
};

std::string RandomPiecesChunk(std::mt19937& random, std::size_t pieces)
{
    std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
    std::string chunk;
    for (std::size_t i = 0; i < pieces; ++i)
        chunk += kPieces[pick(random)];
    return chunk;
}

std::string RandomBytesChunk(std::mt19937& random, std::size_t length)
{
    static const std::string alphabet = "<>IMGimgSRCsrc=\" '.GIFgif\t\x01\xE9"s;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string chunk;
    for (std::size_t i = 0; i < length; ++i)
        chunk += alphabet[pick(random)];
    return chunk;
}

void ExpectSameAsLiteral(const std::vector<std::string>& chunks)
{
    ImageQueue queue;
    std::int32_t count = 0;
    literal::SortedList list;
    std::int32_t literalCount = 0;
    for (const std::string& chunk : chunks) {
        ScanImageReferences(chunk, queue, count);
        literal::Scan(chunk, list, literalCount);
        const std::vector<std::string> entries = queue.Entries();
        if (entries != list.items || count != literalCount) {
            ADD_FAILURE() << "chunk: " << Printable(chunk);
            EXPECT_EQ(entries, list.items);
            EXPECT_EQ(count, literalCount);
            return;
        }
    }
}

TEST(ScanImageReferences, AgreesWithLiteralRulesOnGeneratedPages)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pieces(1, 120);
    for (int page = 0; page < 4000 && !HasFailure(); ++page) {
        std::vector<std::string> chunks;
        for (int i = 0; i < 3; ++i)
            chunks.push_back(RandomPiecesChunk(random, pieces(random)));
        ExpectSameAsLiteral(chunks);
    }
}

TEST(ScanImageReferences, AgreesWithLiteralRulesOnRandomBytes)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> length(0, 300);
    for (int page = 0; page < 4000 && !HasFailure(); ++page)
        ExpectSameAsLiteral({RandomBytesChunk(random, length(random)), RandomBytesChunk(random, length(random))});
}

TEST(ScanImageReferences, AgreesWithLiteralRulesOnFullChunks)
{
    // Whole receive buffers, where the wide search paths and their tails are exercised.
    std::mt19937 random(99);
    for (int page = 0; page < 40 && !HasFailure(); ++page) {
        std::string chunk = page % 2 ? RandomPiecesChunk(random, 2000) : RandomBytesChunk(random, 10241);
        chunk.resize(std::min<std::size_t>(chunk.size(), 10241));
        ExpectSameAsLiteral({chunk});
    }
}

TEST(ScanImageReferences, AgreesWithLiteralRulesOnNestedTags)
{
    // Many "<IMG" before one ">": every tag's text reaches the same ">".
    std::string nested;
    for (int i = 0; i < 300; ++i)
        nested += i % 3 ? "<img src=\"n" + std::to_string(i) + ".gif\" " : "<img\x01src=";
    ExpectSameAsLiteral({nested + ">", nested + " x.gif>", nested});
}

// ---------------------------------------------------------------------------
// From queue entry to the next fetch.

TEST(TakeNextImage, FetchesInQueueOrderNotPageOrder)
{
    Unit1State state;
    ScanImageReferences("<img src=b.gif><img src=A.gif><img src=c.gif><img src=B.GIF>", state.ListBox1, state.GifCount);
    EXPECT_EQ(state.GifCount, 3);
    std::vector<std::string> order;
    while (TakeNextImage(state, true, "server/page.html"))
        order.push_back(state.ImagePath);
    EXPECT_EQ(order, (std::vector<std::string>{"A.gif", "b.gif", "c.gif"}));
    EXPECT_TRUE(state.ListBox1.Empty());
}

TEST(TakeNextImage, NothingFollowsWhenEmptyOrNotWanted)
{
    Unit1State state;
    EXPECT_FALSE(TakeNextImage(state, true, "server/"));
    EXPECT_FALSE(state.ImageMode);

    state.ListBox1.AddIfAbsent("a.gif");
    state.TargetAddress = "server/";
    EXPECT_FALSE(TakeNextImage(state, false, "server/"));
    EXPECT_FALSE(state.ImageMode);
    EXPECT_EQ(state.TargetAddress, "server/");
    EXPECT_EQ(state.ListBox1.Count(), 1u);
}

struct NextCase {
    const char* name;
    std::string reference;
    std::string typed;
    std::string TargetAddress;
    std::string ImagePath;
};

const NextCase kNextCases[] = {
    {"absolute_with_path", "http://server/p/q.gif", "page/x.html", "server/p/q.gif", "/p/q.gif"},
    {"scheme_relative", "//server/q.gif", "page/", "server/q.gif", "/q.gif"},
    {"absolute_without_path", "http://u.gif", "page/", "u.gif", "u.gif"},
    {"any_scheme_dropped", "ftp://host/v.gif", "page/", "host/v.gif", "/v.gif"},
    {"doubled_slash_makes_absolute", "img//s.gif", "server/dir/page.html", "s.gif", "s.gif"},
    {"relative", "img/r.gif", "server/dir/page.html", "server/dir/page.html", "img/r.gif"},
    {"relative_rooted", "/img/r.gif", "server/dir/page.html", "server/dir/page.html", "/img/r.gif"},
    {"typed_address_kept_untrimmed", "a.gif", "  http://server/d/p.html ", "  http://server/d/p.html ", "a.gif"},
    {"absolute_with_doubled_path_slash", "http://server//t.gif", "page/", "server//t.gif", "//t.gif"},
};

void PrintTo(const NextCase& c, std::ostream* out) { *out << c.name; }

class NextTable : public testing::TestWithParam<NextCase> {};

TEST_P(NextTable, SetsAddressAndPath)
{
    const NextCase& c = GetParam();
    Unit1State state;
    state.TargetAddress = "page-as-fetched";
    state.ListBox1.AddIfAbsent(c.reference);
    state.ListBox1.AddIfAbsent("~later.gif");
    ASSERT_TRUE(TakeNextImage(state, true, c.typed));
    EXPECT_TRUE(state.ImageMode);
    EXPECT_EQ(state.TargetAddress, c.TargetAddress);
    EXPECT_EQ(state.ImagePath, c.ImagePath);
    EXPECT_EQ(state.ListBox1.Entries(), std::vector<std::string>{"~later.gif"});
}

INSTANTIATE_TEST_SUITE_P(References, NextTable, testing::ValuesIn(kNextCases),
                         [](const testing::TestParamInfo<NextCase>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace kurvane
