// In-process microbenchmarks of the per-entry work: the cell texts, link
// escaping, title extraction, the wildcard matcher, and the name and
// natural orders' sorts of many names.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "index/cell_texts.h"
#include "index/link_text.h"
#include "index/document_title.h"
#include "index/index_writer.h"
#include "index/listing_order.h"
#include "index/natural_order.h"
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

// Names like bench-make-data's: common stems, then letters, digits,
// capitals, punctuation and Latin-1 letters.
const std::vector<std::string>& manyNames()
{
    static const std::vector<std::string> names = [] {
        static const char* const stems[] = {"report", "IMG_",   "notes", "Invoice", "backup", "data",
                                            "photo",  "README", "draft", "scan",    "track",  "setup"};
        static const char odd[] = " &%#+,()'-_~[]!";
        std::mt19937_64 generator(20010425);
        const auto below = [&](std::uint64_t limit) {
            return std::uniform_int_distribution<std::uint64_t>(0, limit - 1)(generator);
        };
        std::vector<std::string> made;
        for (int i = 0; i < 200000; ++i) {
            std::string name = stems[below(std::size(stems))];
            const auto extra = 1 + below(24);
            for (std::uint64_t c = 0; c < extra; ++c) {
                const auto kind = below(20);
                name += kind < 12   ? static_cast<char>('a' + below(26))
                        : kind < 15 ? static_cast<char>('0' + below(10))
                        : kind < 17 ? static_cast<char>('A' + below(26))
                        : kind < 19 ? odd[below(sizeof odd - 1)]
                                    : static_cast<char>(0xC0 + below(0x30));
            }
            made.push_back(name);
        }
        return made;
    }();
    return names;
}

// Sorts the 200,000 names as the listing does: by a key of each name where
// the keys differ, by `before` on the whole names where they do not (or
// where a key is 0, which says nothing).
template <typename Key, typename Before>
void sortByKeys(benchmark::State& state, Key&& key, Before&& before)
{
    const auto& names = manyNames();
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order;
    for (auto _ : state) {
        state.PauseTiming();
        order.clear();
        for (std::uint32_t i = 0; i < names.size(); ++i)
            order.emplace_back(0, i);
        state.ResumeTiming();
        for (auto& [k, index] : order)
            k = key(names[index]);
        std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
            if (a.first != b.first && a.first != 0 && b.first != 0)
                return a.first < b.first;
            return before(names[a.second], names[b.second]);
        });
        benchmark::DoNotOptimize(order.data());
    }
}

// The natural order, by each name's key.
void sortNaturally(benchmark::State& state)
{
    sortByKeys(state, naturalPrefix, [](std::string_view a, std::string_view b) {
        const int byNumbers = compareNaturally(a, b);
        return byNumbers != 0 ? byNumbers < 0 : listsBefore(a, b);
    });
}
BENCHMARK(sortNaturally)->Unit(benchmark::kMillisecond);

// The name order, keyed as the listing keys it (the first eight bytes by
// the values the order gives them), to set the natural order's sort
// against.
void sortByName(benchmark::State& state)
{
    const auto nameKey = [](std::string_view name) {
        std::uint64_t key = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            const unsigned value = i < name.size() ? byteSortValue(static_cast<unsigned char>(name[i])) : 0u;
            if (value > 0xFF)
                return std::uint64_t{0};
            key = (key << 8) | value;
        }
        return key;
    };
    sortByKeys(state, nameKey, [](std::string_view a, std::string_view b) { return listsBefore(a, b); });
}
BENCHMARK(sortByName)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
