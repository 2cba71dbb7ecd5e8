// Local times under a fixed time zone with summer time: CTest runs this
// program with TZ=CET-1CEST,M3.5.0,M10.5.0/3 (UTC+1, UTC+2 from the last
// Sunday of March 02:00 to the last Sunday of October 03:00). Each time is
// converted with the offset in force on its own date, whatever the date of
// the run.
#include <gtest/gtest.h>

#include <limits>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>

#include "index/cell_texts.h"
#include "index/export_runs.h"
#include "index/page_cells.h"
#include "support/temp_tree.h"

namespace quilldex {
namespace {

using namespace std::chrono;

std::int64_t utc(year_month_day day, hours h, minutes m = 0min, seconds s = 0s)
{
    return duration_cast<seconds>((sys_days{day} + h + m + s).time_since_epoch()).count();
}

constexpr std::string_view kZone = "CET-1CEST,M3.5.0,M10.5.0/3";

class LocalTimeWithSummerTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* zone = std::getenv("TZ");
        ASSERT_TRUE(zone && zone == kZone) << "run with TZ=" << kZone << " (ctest sets it)";
    }
};

TEST_F(LocalTimeWithSummerTime, EachDateUsesItsOwnOffset)
{
    struct Case {
        std::int64_t utc;
        const char* time;
        const char* date;
    };
    const Case cases[] = {
        {utc(2001y / July / 15, 12h), "14:00.00", "2001-07-15"},
        {utc(2001y / January / 15, 12h), "13:00.00", "2001-01-15"},
        // Summer time starts on 2001-03-25 at 01:00 UTC.
        {utc(2001y / March / 25, 0h, 59min, 59s), "01:59.59", "2001-03-25"},
        {utc(2001y / March / 25, 1h), "03:00.00", "2001-03-25"},
        // And ends on 2001-10-28 at 01:00 UTC.
        {utc(2001y / October / 28, 0h, 59min, 59s), "02:59.59", "2001-10-28"},
        {utc(2001y / October / 28, 1h), "02:00.00", "2001-10-28"},
        // The date turns at local midnight, not at UTC midnight.
        {utc(2000y / December / 31, 23h, 30min), "00:30.00", "2001-01-01"},
        {utc(2001y / June / 30, 22h, 5min, 9s), "00:05.09", "2001-07-01"},
        // Beyond the years 1601 to 9999, the nearest end of that range.
        {utc(9999y / December / 31, 23h, 30min), "23:59.59", "9999-12-31"},
        {std::numeric_limits<std::int64_t>::max(), "23:59.59", "9999-12-31"},
        {std::numeric_limits<std::int64_t>::min(), "00:00.00", "1601-01-01"},
    };
    for (const auto& c : cases) {
        const auto local = platform::toLocalTime(c.utc);
        EXPECT_EQ(timeText(local).view(), c.time) << c.utc;
        EXPECT_EQ(dateText(local).view(), c.date) << c.utc;
    }
}

// A page's <time> elements: the local time with the offset of its own date.
TEST_F(LocalTimeWithSummerTime, PageDateTimeCarriesTheOffsetOfItsDate)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {utc(2001y / July / 15, 12h), "2001-07-15T14:00:00+02:00"},
        {utc(2001y / January / 15, 12h), "2001-01-15T13:00:00+01:00"},
        {utc(2001y / March / 25, 0h, 59min, 59s), "2001-03-25T01:59:59+01:00"},
        {utc(2001y / March / 25, 1h), "2001-03-25T03:00:00+02:00"},
        {utc(2001y / October / 28, 0h, 59min, 59s), "2001-10-28T02:59:59+02:00"},
        {utc(2001y / October / 28, 1h), "2001-10-28T02:00:00+01:00"},
        {utc(2000y / December / 31, 23h, 30min), "2001-01-01T00:30:00+01:00"},
        {std::numeric_limits<std::int64_t>::max(), "9999-12-31T23:59:59+01:00"},
    };
    for (const auto& [time, text] : cases) {
        const auto dateTime = dateTimeText(platform::toLocalTime(time), platform::utcOffsetAt(time));
        ASSERT_TRUE(dateTime) << time;
        EXPECT_EQ(dateTime->view(), text) << time;
    }
}

TEST(PageDateTime, OffsetsWestAndInMinutesAndSeconds)
{
    const platform::LocalTime time{2026, 12, 7, 14, 33, 17};
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "2026-12-07T14:33:17+00:00"},      {3600, "2026-12-07T14:33:17+01:00"},
        {-18000, "2026-12-07T14:33:17-05:00"}, {19800, "2026-12-07T14:33:17+05:30"},
        {-34200, "2026-12-07T14:33:17-09:30"}, {50400, "2026-12-07T14:33:17+14:00"},
    };
    for (const auto& [offset, text] : cases) {
        const auto dateTime = dateTimeText(time, offset);
        ASSERT_TRUE(dateTime) << offset;
        EXPECT_EQ(dateTime->view(), text);
    }
    // Local mean time, before time zones: no offset in whole minutes.
    EXPECT_FALSE(dateTimeText(time, 561));
}

TEST_F(LocalTimeWithSummerTime, IndexRows)
{
    testing::TempTree tree;
    testing::TempTree out;
    testing::setLastWriteTime(tree.file("summer.txt"), utc(2001y / July / 15, 12h));
    testing::setLastWriteTime(tree.file("winter.txt"), utc(2001y / January / 15, 12h));

    IndexOptions options;
    options.outputName = "index.html";
    options.showSize = false;
    options.showTime = true;
    options.showDate = true;
    {
        testing::ChangeDirectory cd(tree.root());
        ASSERT_TRUE(exportSingle(out.path("index.html").string(), options));
    }
    EXPECT_EQ(testing::readFile(out.path("index.html")),
              testing::headerRow(false, true, true) +
                  "<tr><td>summer.txt</td><td>14:00.00</td><td>2001-07-15</td></tr>\r\n"
                  "<tr><td>winter.txt</td><td>13:00.00</td><td>2001-01-15</td></tr>\r\n" +
                  testing::creditLine());
}

}  // namespace
}  // namespace quilldex
