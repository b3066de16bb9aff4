// Date-times of failures as times since the start of testing.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "tamsel/import/table_reader.h"

namespace date {
class time_zone;
}

namespace tamsel {

// How a date-time is to be written, for messages.
inline constexpr std::string_view kDateTimeForm =
    "Write it as YYYY-MM-DD HH:MM[:SS], optionally with a zone (Z or +01:00).";

// True when text reads as a date-time: YYYY-MM-DD, "T" or a blank, [H]H:MM[:SS[.fff...]] (or
// ",fff..."), then optionally, after a blank or not, "Z", "UTC", "GMT" or an offset
// +HH[[:]MM] / -HH[[:]MM].
bool IsDateTime(std::string_view text);

// True when text is a date in another form, with or without a time of day: 01/03/2024,
// 3/1/24 10:00 AM, 01.03.2024 10:00, 01/Mar/24 9:15 AM, 2024/03/01, YYYY-MM-DD without a
// time, a month's name between blanks (01 Mar 2024 09:15, Mar 5 10:00:00 2024), any of them
// or a date-time after a week-day's name (Fri, 01 Mar 2024 09:15:00 +0100; Mon 2024-03-04
// 09:15). A column of them holds date-times that must be rewritten before they can be read.
bool IsOtherDateForm(std::string_view text);

// How a column of numbers writes moments rather than times since the start of testing.
enum class NumberMoments { None, UnixSeconds, UnixMilliseconds, SpreadsheetDays, Digits };

// Whether a header names the moments of its column: "Date", "Created", "opened_at",
// "Timestamp", "Resolved", ...
bool NamesMoments(std::string_view header);

// The moments that numbers hold, told by their size: seconds or milliseconds since 1970 as
// Unix time writes them (from 1973 to 2286), a spreadsheet's date serial numbers (days
// since 1899-12-30, from 1954 to 2119), or the digits of a date and time as ISO 8601's basic
// form writes them (YYYYMMDD or YYYYMMDDhhmmss, from 1900 to 2100). None when the numbers are
// not all of one kind, or there are none (least above most).
NumberMoments MomentsOfSize(double least, double most);

// "20240301" as "2024-03-01 00:00:00", "20240301091500" as "2024-03-01 09:15:00"; text
// unchanged when it is not such digits.
std::string DigitsAsDateTime(std::string_view text);

// How the column writes its moments and the moment of value, for messages: "seconds since
// 1970-01-01 UTC (1709284500 is 2024-03-01 09:15:00 UTC)".
std::string DescribeMoment(NumberMoments moments, double value);

// Measures date-times from an origin in a unit; date-times without a zone are read in the
// time zone of the options.
class TimeBase {
  public:
    enum class Fault { None, NotDateTime, Skipped, Repeated };
    struct Reading {
        double value = 0.0;  // in the unit; negative before the origin
        Fault fault = Fault::None;
    };

    // The time base of options, or nothing with what to fix in problem.
    static std::optional<TimeBase> Make(const TimestampOptions& options, std::string& problem);

    Reading Measure(std::string_view text) const;
    // A moment given in seconds since 1970-01-01 UTC.
    Reading MeasureUnixTime(double seconds) const;
    // "hours from 2024-03-01T07:00:00Z (Europe/Berlin)"
    std::string Describe() const;
    std::string OriginUtc() const;
    const std::string& ZoneName() const { return m_zoneName; }

  private:
    using Microseconds = std::chrono::microseconds;
    std::optional<std::chrono::sys_time<Microseconds>> ToSystemTime(std::string_view text,
                                                                    Fault& fault) const;

    const date::time_zone* m_zone = nullptr;
    std::string m_zoneName;
    TimeUnit m_unit = TimeUnit::Hours;
    std::chrono::sys_time<Microseconds> m_origin{};
};

}  // namespace tamsel
