// The image scanner runs over every chunk of a page while images are on, so
// its speed sets the speed of a run. Chunks are whole receive buffers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "measure/images.h"
#include "measure/run.h"

namespace kurvane {
namespace {

std::string Repeated(const std::string& unit, std::size_t size = kReceiveBufferSize)
{
    std::string chunk;
    while (chunk.size() < size)
        chunk += unit;
    chunk.resize(size);
    return chunk;
}

// About 10 KB of an ordinary page: running text, links, tables, and 36 IMG
// tags in the usual spellings naming six GIFs.
std::string OrdinaryPage()
{
    static const char* const kImages[] = {"/img/logo.gif",        "img/spacer.gif",
                                          "../common/bullet.GIF", "http://ads.example.jp/banner.gif?id=7",
                                          "img/new.gif",          "line.gif"};
    static const char* const kTagForms[] = {
        "<img src=\"%s\" width=\"16\" height=\"16\" alt=\"\">",
        "<IMG SRC=\"%s\" BORDER=0>",
        "<img border=\"0\" src=\"%s\" alt=\"link\">",
        "<img src=%s width=1 height=1>",
    };
    std::string page = "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=Shift_JIS\r\nServer: test\r\n\r\n"
                       "<html><head><title>Sample page</title><meta http-equiv=\"Content-Type\" content=\"text/html\">"
                       "<link rel=\"stylesheet\" href=\"style.css\"></head><body bgcolor=\"#ffffff\">\n";
    for (int i = 0; page.size() < 10000; ++i) {
        char tag[160];
        std::snprintf(tag, sizeof tag, kTagForms[i % 4], kImages[i % 6]);
        page += "<p class=\"text\">Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
                "incididunt ut labore et dolore magna aliqua. <a href=\"page" +
                std::to_string(i) + ".html\">Next page</a></p>\n<table><tr><td>";
        page += tag;
        page += "</td><td>Ut enim ad minim veniam, quis nostrud exercitation.</td></tr></table>\n";
    }
    page.resize(10240);
    return page;
}

void ScanOneChunk(benchmark::State& state, const std::string& chunk)
{
    ImageQueue queue;
    std::int32_t count = 0;
    for (auto _ : state) {
        ScanImageReferences(chunk, queue, count);
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size()));
    state.counters["queued"] = static_cast<double>(queue.Count());
}

void BM_Scan_a_OrdinaryHtml(benchmark::State& state) { ScanOneChunk(state, OrdinaryPage()); }
void BM_Scan_b_ImgBlankRepeated(benchmark::State& state) { ScanOneChunk(state, Repeated("<img ")); }
void BM_Scan_c_ImgRepeatedNoSrc(benchmark::State& state) { ScanOneChunk(state, Repeated("<img")); }
void BM_Scan_d_SrcGifRepeated(benchmark::State& state) { ScanOneChunk(state, Repeated("<img src=\"a.gif\">")); }

// The same tag floods with one "SRC" at the end, so that every "<IMG" is taken as a tag.
void BM_Scan_b_ImgBlankRepeatedSrcAtEnd(benchmark::State& state)
{
    ScanOneChunk(state, Repeated("<img ", kReceiveBufferSize - 5) + " src>");
}
void BM_Scan_c_ImgRepeatedSrcAtEnd(benchmark::State& state)
{
    ScanOneChunk(state, Repeated("<img", kReceiveBufferSize - 4) + "src>");
}

// Tags that never close until the chunk's last byte: every tag's text runs to the same ">".
void BM_Scan_f_TagsSharingOneClose(benchmark::State& state)
{
    ScanOneChunk(state, Repeated("<img src=\"n.gif\" ", kReceiveBufferSize - 1) + ">");
}

// Distinct images, each named in its own tag, in a shuffled order: every key is new.
std::vector<std::string> DistinctReferenceChunks(int count)
{
    std::vector<int> numbers(static_cast<std::size_t>(count));
    std::iota(numbers.begin(), numbers.end(), 0);
    std::shuffle(numbers.begin(), numbers.end(), std::mt19937(1));
    std::vector<std::string> chunks(1);
    for (int n : numbers) {
        char tag[64];
        std::snprintf(tag, sizeof tag, "<img src=\"img/photo%05d.gif\" width=80>\n", n);
        if (chunks.back().size() + std::char_traits<char>::length(tag) > kReceiveBufferSize)
            chunks.emplace_back();
        chunks.back() += tag;
    }
    return chunks;
}

void BM_Scan_e_DistinctReferences(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> chunks = DistinctReferenceChunks(count);
    for (auto _ : state) {
        ImageQueue queue;
        std::int32_t queued = 0;
        for (const std::string& chunk : chunks)
            ScanImageReferences(chunk, queue, queued);
        benchmark::DoNotOptimize(queued);
        if (queued != count)
            state.SkipWithError("not every reference was queued");
    }
    state.SetItemsProcessed(state.iterations() * count);
}

BENCHMARK(BM_Scan_a_OrdinaryHtml);
BENCHMARK(BM_Scan_b_ImgBlankRepeated);
BENCHMARK(BM_Scan_b_ImgBlankRepeatedSrcAtEnd);
BENCHMARK(BM_Scan_c_ImgRepeatedNoSrc);
BENCHMARK(BM_Scan_c_ImgRepeatedSrcAtEnd);
BENCHMARK(BM_Scan_d_SrcGifRepeated);
BENCHMARK(BM_Scan_f_TagsSharingOneClose);
BENCHMARK(BM_Scan_e_DistinctReferences)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kurvane
