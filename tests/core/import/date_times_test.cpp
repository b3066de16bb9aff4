// Date-time columns read as times since the start of testing. Expected values are worked out
// by hand in UTC from the zone rules (Europe/Berlin: UTC+1, UTC+2 from 2024-03-31 02:00 to
// 2024-10-27 03:00 local time).
#include <gtest/gtest.h>

#include "tamsel/import/table_reader.h"
#include "test_support.h"

namespace tamsel {
namespace {

using test::Doubles;

TableOptions Times(std::string origin, std::string zone = "UTC", TimeUnit unit = TimeUnit::Hours) {
    TableOptions options;
    options.timestamps = TimestampOptions{std::move(origin), std::move(zone), unit};
    return options;
}

std::string Detail(const TableResult& result) {
    return result.refusal ? result.refusal->detail : "";
}

TEST(DateTimes, BecomeSortedTimesSinceTheOrigin) {
    struct Case {
        const char* what;
        std::string text;
        TableOptions options;
        std::vector<double> values;
    };
    for (const Case& c : std::vector<Case>{
             {"UTC, out of order",
              "when\n2024-03-01 10:00\n2024-03-01 08:30\n2024-03-02T08:00:00Z\n",
              Times("2024-03-01 08:00"), Doubles(0.5, 2, 24)},
             {"seconds with a fraction", "2024-03-01 08:00:01.5\n2024-03-01 08:01:00\n",
              Times("2024-03-01T08:00:00", "UTC", TimeUnit::Seconds), Doubles(1.5, 60)},
             {"minutes and days", "2024-03-02 08:00\n2024-03-04 20:00\n",
              Times("2024-03-01 08:00", "UTC", TimeUnit::Days), Doubles(1, 3.5)},
             {"offsets across zones",
              "i,t\n1,2024-03-01T09:00:00+01:00\n2,2024-03-01 "
              "04:00-05:00\n3,2024-03-01 17:30+0930\n",
              Times("2024-03-01 07:00Z", "UTC", TimeUnit::Minutes), Doubles(60, 60, 120)},
             {"spring forward counts real hours", "2024-03-31 01:30\n2024-03-31 03:30\n",
              Times("2024-03-31 00:00", "Europe/Berlin"), Doubles(1.5, 2.5)},
             {"fall back counts real hours",
              "2024-10-27 01:30\n2024-10-27 03:30\n2024-10-27T02:30+01:00\n",
              Times("2024-10-27 00:00", "Europe/Berlin"), Doubles(1.5, 3.5, 4.5)},
             {"microseconds, and nanoseconds cut to them",
              "2024-03-01 08:00:00.000001Z\n2024-03-01T08:00:01.123456789Z\n",
              Times("2024-03-01 08:00", "UTC", TimeUnit::Seconds), Doubles(1e-6, 1.123456)},
             // "+01" was once a column of its own, and the date-times read in UTC.
             {"a zone after a blank",
              "1 2024-03-01 10:00:00 +0100\n2 2024-03-01 11:00 UTC\n3 2024-03-01 12:00 +01\n",
              Times("2024-03-01 08:00"), Doubles(1, 3, 3)},
             {"a bug number beside them is no candidate",
              "bug,opened\n1201,2024-03-01 09:00\n1187,2024-03-01 10:00\n",
              Times("2024-03-01 08:00"), Doubles(1, 2)},
             {"a decimal comma before the fraction of a second",
              "n;t\n1;2024-03-01 09:15:30,123\n2;2024-03-01 09:15:31,5\n",
              Times("2024-03-01 09:00", "UTC", TimeUnit::Seconds), Doubles(930.123, 931.5)},
             {"an hour of one digit", "ts\n2024-03-01 9:15\n", Times("2024-03-01 08:00"),
              Doubles(1.25)},
             {"dates as ISO 8601's digits", "Date\n20240301\n20240305\n",
              Times("2024-02-29 00:00", "UTC", TimeUnit::Days), Doubles(1, 5)},
             // Once "PM" was a column of its own in blank-separated files, and 9:15 PM read as
             // 9:15.
             {"a 12-hour clock",
              "2024-03-01 9:15 PM\n2024-03-01 12:05 am\n2024-03-01 12:30 PM +0100\n"
              "2024-03-01T11:59:59.5 p.m.\n",
              Times("2024-03-01 00:00", "UTC", TimeUnit::Minutes),
              Doubles(5, 690, 1275, 1439 + 59.5 / 60)},
             {"small t and z", "ts\n2024-03-01t09:15:00z\n", Times("2024-03-01 09:00Z"),
              Doubles(0.25)},
             {"Unix milliseconds", "run,timestamp_ms\n1,1709284500123\n2,1709288100000\n",
              Times("2024-03-01 09:00Z", "UTC", TimeUnit::Seconds), Doubles(900.123, 4500)},
             {"zone of the origin too", "2024-07-01 17:00Z\n",
              Times("2024-07-01 12:00", "America/New_York"), Doubles(1)}}) {
        SCOPED_TRACE(c.what);
        TableResult result = ReadTableText(c.text, c.options);
        ASSERT_FALSE(result.refusal) << Detail(result);
        ASSERT_EQ(result.values.size(), c.values.size());
        for (std::size_t i = 0; i < c.values.size(); ++i)
            EXPECT_CLOSE_ABS(result.values[i], c.values[i], 1e-9);
    }
}

TEST(DateTimes, RefusalsNameTheLineAndTheFix) {
    struct Case {
        const char* what;
        std::string text;
        TableOptions options;
        std::string detail;
    };
    for (const Case& c : std::vector<Case>{
             {"skipped local time", "2024-03-31 01:30\n2024-03-31 02:30\n",
              Times("2024-03-31 00:00", "Europe/Berlin"),
              "Line 2: '2024-03-31 02:30' never happened in Europe/Berlin (the clocks changed). "
              "Write it with its offset from UTC, such as 2024-03-31 02:30+01:00."},
             {"repeated local time", "2024-10-27 02:30\n",
              Times("2024-10-27 00:00", "Europe/Berlin"),
              "Line 1: '2024-10-27 02:30' happened twice in Europe/Berlin (the clocks changed). "
              "Write it with its offset from UTC, such as 2024-10-27 02:30+01:00."},
             // Once read without the fractions, which made a column of their own.
             {"fractions cut off by the comma delimiter",
              "2024-03-01 10:00:00,300\n2024-03-01 11:00:00,100\n", Times("2024-03-01 09:00"),
              "Line 1, column 1: '2024-03-01 10:00:00' is followed by '300', the fraction of its "
              "second cut off by the comma before it. Quote the date-times (\"2024-03-01 "
              "10:00:00,300\"), write a point before the fraction, or save the file with another "
              "delimiter."},
             {"a header above date-times in a form not read", "ts\n2024-W09-5T09:15\n",
              Times("2024-03-01 08:00"),
              "Line 2: '2024-W09-5T09:15' is not a date-time. Write it as YYYY-MM-DD HH:MM[:SS], "
              "optionally with a zone (Z or +01:00)."},
             // Once taken for Unix time, there being no number to size.
             {"a date in another form among date-times", "ts\n2024-03-01 09:15\n01.03.2024\n",
              Times("2024-03-01 08:00"),
              "Line 3: '01.03.2024' is not a date-time. Write it as YYYY-MM-DD HH:MM[:SS], "
              "optionally with a zone (Z or +01:00)."},
             {"an hour past 12 on a 12-hour clock", "2024-03-01 13:15 PM\n",
              Times("2024-03-01 08:00"),
              "Line 1: '2024-03-01 13:15 PM' is not a date-time. Write it as YYYY-MM-DD "
              "HH:MM[:SS], optionally with a zone (Z or +01:00)."},
             {"before the origin", "t\n2024-03-01 09:00\n2024-03-01 07:59:59\n",
              Times("2024-03-01 08:00"),
              "Line 3: '2024-03-01 07:59:59' is before the origin. Correct it, or give an earlier "
              "--origin."},
             {"no origin", "2024-03-01 09:00\n", Times(""),
              "Date-times are measured from the start of testing: give it with --origin TIMESTAMP "
              "(for example --origin \"2024-03-01 08:00\")."},
             {"origin no date-time", "2024-03-01 09:00\n", Times("March 1st"),
              "The origin 'March 1st' is not a date-time. Write it as YYYY-MM-DD HH:MM[:SS], "
              "optionally with a zone (Z or +01:00)."},
             {"unknown zone", "2024-03-01 09:00\n", Times("2024-03-01 08:00", "Mars/Olympus"),
              "There is no time zone 'Mars/Olympus'. Name one as the zone database does, such as "
              "UTC or Europe/Berlin, with --timezone."},
             {"a number among date-times", "2024-03-01 09:00\n17\n", Times("2024-03-01 08:00"),
              "Line 2: '17' is not a date-time. Write it as YYYY-MM-DD HH:MM[:SS], optionally with "
              "a zone (Z or +01:00)."},
             {"seconds that are no number", "2024-03-01 09:00:#\n", Times("2024-03-01 08:00"),
              "Line 1: '2024-03-01 09:00:#' is not a date-time. Write it as YYYY-MM-DD "
              "HH:MM[:SS], optionally with a zone (Z or +01:00)."},
             {"an impossible date", "2024-02-30 09:00\n", Times("2024-02-01 08:00"),
              "Line 1: '2024-02-30 09:00' is not a date-time. Write it as YYYY-MM-DD HH:MM[:SS], "
              "optionally with a zone (Z or +01:00)."}}) {
        SCOPED_TRACE(c.what);
        TableResult result = ReadTableText(c.text, c.options);
        EXPECT_EQ(Detail(result), c.detail);
        EXPECT_TRUE(result.values.empty());
    }
}

}  // namespace
}  // namespace tamsel
