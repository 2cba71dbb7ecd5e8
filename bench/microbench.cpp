// In-process microbenchmarks of the per-entry work: the cell texts, link
// escaping, title extraction and the wildcard matcher.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "index/cell_texts.h"
#include "index/link_text.h"
#include "index/document_title.h"
#include "index/index_writer.h"
#include "index/wildcard.h"

namespace {

using namespace quilldex;

const std::vector<std::string>& sampleNames()
{
    static const std::vector<std::string> names = {
        "notes.txt", "IMG_20010425_130509.JPG",    "annual report 2001 (final).doc",
        "x.tar.gz",  "Invoice#4471 & receipt.pdf", "caf\xe9 au lait.mp3",
        "README",    "setup-1.0.7-win32.exe",
    };
    return names;
}

void sizeTextAuto(benchmark::State& state)
{
    std::uint64_t size = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sizeText(size, false, SizeStyle::Auto));
        size = size * 7 % 5'000'000'011ull;
    }
}
BENCHMARK(sizeTextAuto);

void sizeTextMegabytes(benchmark::State& state)
{
    std::uint64_t size = 1'179'648;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sizeText(size, false, SizeStyle::Megabytes));
        size += 131'072;
    }
}
BENCHMARK(sizeTextMegabytes);

void timeAndDateText(benchmark::State& state)
{
    const platform::LocalTime time{2001, 4, 25, 13, 5, 9};
    for (auto _ : state) {
        benchmark::DoNotOptimize(timeText(time));
        benchmark::DoNotOptimize(dateText(time));
    }
}
BENCHMARK(timeAndDateText);

void localTimeConversion(benchmark::State& state)
{
    platform::UtcSeconds when = 631152000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::toLocalTime(when));
        when += 86'400 * 37 + 3'601;
    }
}
BENCHMARK(localTimeConversion);

void escapeName(benchmark::State& state)
{
    const auto& names = sampleNames();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(escapeLinkName(names[i++ % names.size()]));
    }
}
BENCHMARK(escapeName);

// The writer's way: pieces handed straight to a sink, nothing allocated.
void escapeNamePieces(benchmark::State& state)
{
    const auto& names = sampleNames();
    std::size_t i = 0;
    for (auto _ : state) {
        std::size_t length = 0;
        forEachEscapedPiece(names[i++ % names.size()], [&](std::string_view piece) { length += piece.size(); });
        benchmark::DoNotOptimize(length);
    }
}
BENCHMARK(escapeNamePieces);

void extractTitleFrom(benchmark::State& state, std::string document)
{
    document.resize(kTitleReadSize, ' ');
    for (auto _ : state)
        benchmark::DoNotOptimize(extractTitle(document));
}
BENCHMARK_CAPTURE(extractTitleFrom, early_tag,
                  std::string("<!DOCTYPE html>\n<html><head><title>Page 17 of the archive</title>"));
BENCHMARK_CAPTURE(extractTitleFrom, upper_tag_late, std::string(700, 'x') + "<TITLE>PAGE 17</TITLE>");
BENCHMARK_CAPTURE(extractTitleFrom, no_tag, std::string("<html><body><p>Nothing to find here</p>"));

void matchMask(benchmark::State& state, const char* mask)
{
    const WildcardMask compiled(mask);
    const auto& names = sampleNames();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(compiled.matches(names[i++ % names.size()]));
}
BENCHMARK_CAPTURE(matchMask, star_dot_star, "*.*");
BENCHMARK_CAPTURE(matchMask, star_dot_txt, "*.txt");
BENCHMARK_CAPTURE(matchMask, dos_wildcards, "*.?");
BENCHMARK_CAPTURE(matchMask, many_stars, "*a*e*i*o*u*.*");

// A mask that a naive backtracking matcher takes exponential time over.
void matchHostileMask(benchmark::State& state)
{
    const WildcardMask compiled("*a*a*a*a*a*a*a*a*a*a*a*a*b");
    const std::string name(200, 'a');
    for (auto _ : state)
        benchmark::DoNotOptimize(compiled.matches(name));
}
BENCHMARK(matchHostileMask);

}  // namespace

BENCHMARK_MAIN();
