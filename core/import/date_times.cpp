#include "date_times.h"

#include <date/tz.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "words.h"

namespace tamsel {
namespace {

using Microseconds = std::chrono::microseconds;

std::string Quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

struct SplitDateTime {
    std::string local;                           // "YYYY-MM-DD HH:MM[:SS[.ffffff]]"
    std::optional<std::chrono::minutes> offset;  // from UTC, when the text gives a zone
};

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// "+01:00", "+0100" or "+01" after the time; nothing when malformed.
std::optional<std::chrono::minutes> ParseOffset(std::string_view text) {
    int sign = text.front() == '-' ? -1 : 1;
    text.remove_prefix(1);
    std::string digits;
    for (char c : text) {
        if (c != ':') digits.push_back(c);
    }
    if (!AllDigits(digits) || (digits.size() != 2 && digits.size() != 4)) return std::nullopt;
    int hours = std::stoi(digits.substr(0, 2));
    int minutes = digits.size() == 4 ? std::stoi(digits.substr(2)) : 0;
    if (hours > 23 || minutes > 59) return std::nullopt;
    return std::chrono::minutes(sign * (hours * 60 + minutes));
}

std::optional<SplitDateTime> Split(std::string_view text) {
    constexpr std::size_t kDateLength = 10;  // YYYY-MM-DD
    constexpr std::size_t kFractionDigits = 6;
    // RFC 3339 allows a small t and z.
    if (text.size() < kDateLength + 5 ||
        (text[kDateLength] != 'T' && text[kDateLength] != 't' && text[kDateLength] != ' ')) {
        return std::nullopt;
    }
    SplitDateTime split;
    std::string_view time = text.substr(kDateLength + 1);
    if (time.ends_with("UTC") || time.ends_with("GMT")) {
        split.offset = std::chrono::minutes(0);
        time.remove_suffix(3);
    } else if (time.back() == 'Z' || time.back() == 'z') {
        split.offset = std::chrono::minutes(0);
        time.remove_suffix(1);
    } else if (std::size_t sign = time.find_last_of("+-"); sign != std::string_view::npos) {
        split.offset = ParseOffset(time.substr(sign));
        if (!split.offset) return std::nullopt;
        time = time.substr(0, sign);
    }
    while (!time.empty() && time.back() == ' ') time.remove_suffix(1);
    // A 12-hour clock: "9:15 PM", "12:05am".
    std::optional<bool> afternoon;
    for (const auto& [mark, pm] : {std::pair{"am", false}, std::pair{"pm", true},
                                   std::pair{"a.m.", false}, std::pair{"p.m.", true}}) {
        const std::string_view suffix(mark);
        if (time.size() > suffix.size() &&
            IsOneOf(time.substr(time.size() - suffix.size()), {suffix})) {
            afternoon = pm;
            time.remove_suffix(suffix.size());
            while (!time.empty() && time.back() == ' ') time.remove_suffix(1);
            break;
        }
    }
    // Digits beyond the microsecond (as databases and Java write nanoseconds) are dropped.
    const std::size_t point = time.find_first_of(".,");
    if (point != std::string_view::npos && time.size() > point + 1 + kFractionDigits &&
        AllDigits(time.substr(point + 1))) {
        time = time.substr(0, point + 1 + kFractionDigits);
    }
    split.local.assign(text.substr(0, kDateLength)).append(" ");
    // An hour of one digit, as spreadsheets write the format h:mm.
    if (time.size() > 1 && time[1] == ':') split.local.push_back('0');
    split.local.append(time);
    // ISO 8601 allows a decimal comma before the fraction of a second, as logging libraries
    // write it ("09:15:30,123").
    if (point != std::string_view::npos && time[point] == ',') {
        split.local[split.local.size() - time.size() + point] = '.';
    }
    if (afternoon) {
        const std::string_view hour = std::string_view(split.local).substr(kDateLength + 1, 2);
        if (!AllDigits(hour) || hour < "01" || hour > "12") return std::nullopt;
        const int hours = std::stoi(std::string(hour)) % 12 + (*afternoon ? 12 : 0);
        split.local[kDateLength + 1] = static_cast<char>('0' + hours / 10);
        split.local[kDateLength + 2] = static_cast<char>('0' + hours % 10);
    }
    return split;
}

std::optional<date::local_time<Microseconds>> ParseLocal(const std::string& text) {
    const std::size_t colons = std::count(text.begin(), text.end(), ':');
    if (colons != 1 && colons != 2) return std::nullopt;
    if (colons == 2) {
        // The seconds are read as a floating-point number, which text that is none turns into
        // a NaN: only digits with an optional fraction go to the parser.
        const std::string_view seconds = std::string_view(text).substr(text.rfind(':') + 1);
        const std::size_t point = seconds.find('.');
        if (!AllDigits(seconds.substr(0, point)) ||
            (point != std::string_view::npos && !AllDigits(seconds.substr(point + 1)))) {
            return std::nullopt;
        }
    }
    std::istringstream in(text);
    date::local_time<Microseconds> local;
    in >> date::parse(colons == 1 ? "%Y-%m-%d %H:%M" : "%Y-%m-%d %H:%M:%S", local);
    if (in.fail() || in.peek() != std::char_traits<char>::eof()) return std::nullopt;
    return local;
}

double SecondsPer(TimeUnit unit) {
    switch (unit) {
        case TimeUnit::Seconds:
            return 1.0;
        case TimeUnit::Minutes:
            return 60.0;
        case TimeUnit::Hours:
            break;
        case TimeUnit::Days:
            return 86400.0;
    }
    return 3600.0;
}

bool IsMonthName(std::string_view text) {
    static constexpr std::string_view kMonths[] = {
        "jan",  "feb",  "mar",    "apr",       "may",     "jun",      "jul",     "aug",
        "sep",  "oct",  "nov",    "dec",       "january", "february", "march",   "april",
        "june", "july", "august", "september", "october", "november", "december"};
    return IsOneOf(text, kMonths);
}

// "Fri" or "Friday,": a week-day's name before a date, as mail, HTTP and ctime write it.
bool IsWeekDay(std::string_view text) {
    if (text.ends_with(',')) text.remove_suffix(1);
    static constexpr std::string_view kDays[] = {
        "mon",    "tue",     "wed",       "thu",      "fri",    "sat",      "sun",
        "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    return IsOneOf(text, kDays);
}

bool IsDigits(std::string_view text, std::size_t least, std::size_t most) {
    return text.size() >= least && text.size() <= most && AllDigits(text);
}

// A date with the month's name between blanks, day and year in either order, with a time of
// day and a zone if any: "01 Mar 2024 09:15:00 +0100", "Mar 5 10:00:00 2024".
bool IsSpacedDate(std::string_view text) {
    bool month = false;
    bool day = false;
    bool year = false;
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        std::string_view word = text.substr(0, blank);
        text = blank == std::string_view::npos ? "" : text.substr(blank + 1);
        if (word.ends_with(',')) word.remove_suffix(1);
        if (word.empty()) continue;
        const bool isSigned = word.front() == '+' || word.front() == '-';
        if (!month && IsMonthName(word)) {
            month = true;
        } else if (!day && IsDigits(word, 1, 2)) {
            day = true;
        } else if (!year && IsDigits(word, 4, 4)) {
            year = true;
        } else if (!(std::isdigit(static_cast<unsigned char>(word.front())) &&
                     word.find(':') != word.npos) &&
                   !(isSigned && IsDigits(word.substr(1), 2, 4)) &&
                   !std::all_of(word.begin(), word.end(),
                                [](unsigned char c) { return std::isupper(c); })) {
            return false;
        }
    }
    return month && day && year;
}

}  // namespace

bool IsDateTime(std::string_view text) {
    auto split = Split(text);
    return split && ParseLocal(split->local).has_value();
}

bool IsOtherDateForm(std::string_view text) {
    if (IsDateTime(text)) return false;
    if (const std::size_t blank = text.find(' ');
        blank != std::string_view::npos && IsWeekDay(text.substr(0, blank))) {
        const std::string_view date = text.substr(text.find_first_not_of(' ', blank));
        return IsDateTime(date) || IsOtherDateForm(date);
    }
    if (IsSpacedDate(text)) return true;
    const std::size_t blank = text.find(' ');
    const std::string_view date = text.substr(0, blank);
    const std::string_view time = blank == std::string_view::npos ? "" : text.substr(blank + 1);
    // Three groups of digits between two like separators.
    const std::size_t first = date.find_first_of("/.-");
    if (first == std::string_view::npos) return false;
    const char separator = date[first];
    const std::size_t second = date.find(separator, first + 1);
    if (second == std::string_view::npos || date.find(separator, second + 1) != date.npos) {
        return false;
    }
    const std::size_t lengths[] = {first, second - first - 1, date.size() - second - 1};
    const auto digits = [](std::string_view group) {
        return !group.empty() && std::all_of(group.begin(), group.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        });
    };
    // A month may be named, as bug trackers write it: 01/Mar/24, 1-Mar-2024.
    const std::string_view middle = date.substr(first + 1, lengths[1]);
    const bool monthName = IsMonthName(middle);
    if (!digits(date.substr(0, first)) || !(digits(middle) || monthName) ||
        !digits(date.substr(second + 1))) {
        return false;
    }
    const bool dayOrMonthFirst = lengths[0] <= 2 && (lengths[1] <= 2 || monthName) &&
                                 (lengths[2] == 4 || (lengths[2] == 2 && !time.empty()));
    const bool yearFirst = lengths[0] == 4 && lengths[1] <= 2 && lengths[2] <= 2;
    // A time of day, if any, starts with its hour and has a colon.
    const bool timeOfDay = time.empty() || (std::isdigit(static_cast<unsigned char>(time[0])) &&
                                            time.find(':') != std::string_view::npos);
    return (dayOrMonthFirst || yearFirst) && timeOfDay;
}

bool NamesMoments(std::string_view header) {
    std::string lower(header);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static constexpr std::string_view kWords[] = {
        "date",      "timestamp", "time stamp", "epoch",   "created",  "opened", "reported",
        "submitted", "resolved",  "closed",     "updated", "modified", "datum",  "zeitpunkt"};
    return lower == "ts" || lower == "when" ||
           std::any_of(std::begin(kWords), std::end(kWords),
                       [&lower](std::string_view word) { return lower.find(word) != lower.npos; });
}

NumberMoments MomentsOfSize(double least, double most) {
    if (least > most) return NumberMoments::None;  // no numbers
    // 1e8 s is 1973, 1e10 s 2286; serial 20000 is 1954, 80000 is 2119.
    if (least >= 1e8 && most < 1e10) return NumberMoments::UnixSeconds;
    if (least >= 1e11 && most < 1e13) return NumberMoments::UnixMilliseconds;
    if (least >= 20000 && most < 80000) return NumberMoments::SpreadsheetDays;
    if ((least >= 19000101 && most <= 21001231) ||
        (least >= 19000101000000.0 && most <= 21001231235959.0)) {
        return NumberMoments::Digits;
    }
    return NumberMoments::None;
}

std::string DigitsAsDateTime(std::string_view text) {
    if (!AllDigits(text) || (text.size() != 8 && text.size() != 14)) return std::string(text);
    std::string dateTime;
    dateTime.append(text.substr(0, 4)).append("-").append(text.substr(4, 2)).append("-");
    dateTime.append(text.substr(6, 2)).append(" ");
    if (text.size() == 8) return dateTime + "00:00:00";
    return dateTime.append(text.substr(8, 2))
        .append(":")
        .append(text.substr(10, 2))
        .append(":")
        .append(text.substr(12, 2));
}

std::string DescribeMoment(NumberMoments moments, double value) {
    if (moments == NumberMoments::Digits) {
        const std::string digits = std::to_string(std::llround(value));
        return "digits YYYYMMDD[hhmmss] (" + digits + " is " + DigitsAsDateTime(digits) + ")";
    }
    // Serial 25569 is 1970-01-01 in the 1900 date system.
    const double unixSeconds = moments == NumberMoments::UnixMilliseconds  ? value / 1000
                               : moments == NumberMoments::SpreadsheetDays ? (value - 25569) * 86400
                                                                           : value;
    const std::chrono::sys_time<std::chrono::milliseconds> moment{
        std::chrono::milliseconds(std::llround(unixSeconds * 1000))};
    const auto whole = std::chrono::floor<std::chrono::seconds>(moment);
    const std::string when =
        whole == moment ? date::format("%F %T", whole) : date::format("%F %T", moment);
    std::ostringstream number;
    number.precision(17);
    number << value;
    switch (moments) {
        case NumberMoments::UnixSeconds:
            return "seconds since 1970-01-01 UTC (" + number.str() + " is " + when + " UTC)";
        case NumberMoments::UnixMilliseconds:
            return "milliseconds since 1970-01-01 UTC (" + number.str() + " is " + when + " UTC)";
        case NumberMoments::SpreadsheetDays:
        case NumberMoments::Digits:
        case NumberMoments::None:
            break;
    }
    return "days since 1899-12-30, a spreadsheet's date serial numbers (" + number.str() + " is " +
           when +
           " in a workbook of the 1900 date system, 1462 days later in one of the 1904 "
           "system)";
}

std::optional<TimeBase> TimeBase::Make(const TimestampOptions& options, std::string& problem) {
    TimeBase base;
    base.m_unit = options.unit;
    base.m_zoneName = options.timeZone.empty() ? "UTC" : options.timeZone;
    try {
        base.m_zone = date::locate_zone(base.m_zoneName);
    } catch (const std::exception&) {
        problem = "There is no time zone '" + base.m_zoneName +
                  "'. Name one as the zone database does, such as UTC or Europe/Berlin, with "
                  "--timezone.";
        return std::nullopt;
    }
    if (options.origin.empty()) {
        problem =
            "Date-times are measured from the start of testing: give it with --origin "
            "TIMESTAMP (for example --origin \"2024-03-01 08:00\").";
        return std::nullopt;
    }
    Fault fault = Fault::None;
    auto origin = base.ToSystemTime(options.origin, fault);
    if (!origin) {
        problem = "The origin " + Quoted(options.origin) +
                  (fault == Fault::NotDateTime
                       ? " is not a date-time. " + std::string(kDateTimeForm)
                       : " does not name one moment in " + base.m_zoneName +
                             " (the clocks changed). Write it with its offset from UTC, such "
                             "as " +
                             options.origin + "+01:00.");
        return std::nullopt;
    }
    base.m_origin = *origin;
    return base;
}

std::optional<std::chrono::sys_time<Microseconds>> TimeBase::ToSystemTime(std::string_view text,
                                                                          Fault& fault) const {
    fault = Fault::NotDateTime;
    auto split = Split(text);
    if (!split) return std::nullopt;
    auto local = ParseLocal(split->local);
    if (!local) return std::nullopt;
    const auto sinceEpoch = local->time_since_epoch();
    if (split->offset) {
        fault = Fault::None;
        return std::chrono::sys_time<Microseconds>(sinceEpoch - *split->offset);
    }
    date::local_info info = m_zone->get_info(*local);
    if (info.result == date::local_info::nonexistent) {
        fault = Fault::Skipped;
        return std::nullopt;
    }
    if (info.result == date::local_info::ambiguous) {
        fault = Fault::Repeated;
        return std::nullopt;
    }
    fault = Fault::None;
    return std::chrono::sys_time<Microseconds>(sinceEpoch - info.first.offset);
}

TimeBase::Reading TimeBase::Measure(std::string_view text) const {
    Reading reading;
    auto time = ToSystemTime(text, reading.fault);
    if (time) {
        reading.value =
            std::chrono::duration<double>(*time - m_origin).count() / SecondsPer(m_unit);
    }
    return reading;
}

TimeBase::Reading TimeBase::MeasureUnixTime(double seconds) const {
    const std::chrono::sys_time<Microseconds> time{Microseconds(std::llround(seconds * 1e6))};
    return {std::chrono::duration<double>(time - m_origin).count() / SecondsPer(m_unit),
            Fault::None};
}

std::string TimeBase::OriginUtc() const {
    // Milliseconds as ever, unless the origin was given finer.
    const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(m_origin);
    return milliseconds == m_origin ? date::format("%FT%TZ", milliseconds)
                                    : date::format("%FT%TZ", m_origin);
}

std::string TimeBase::Describe() const {
    return std::string(TimeUnitName(m_unit)) + " from " + OriginUtc() + " (" + m_zoneName + ")";
}

}  // namespace tamsel
