// The forms a cell of a data file takes: numbers with their separators and units, durations,
// labels of totals, and the type each makes of its column.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tamsel/import/table_reader.h"

namespace tamsel {

// Nothing when text is no number; outOfRange then says whether it is one beyond a double.
// With decimalComma a comma is the decimal mark and a point makes no number.
std::optional<double> ParseNumber(std::string_view text, bool decimalComma,
                                  bool* outOfRange = nullptr);

// "1.234" or "12.500": a number that a spreadsheet grouping thousands with points writes for
// 1234 or 12500, and a decimal one for 1.234.
bool MayBeThousandsGroup(std::string_view cell);

// Digits with separators in them ("1,234.5", "1'000", "2,5", "1 234") or a number a
// spreadsheet marked as text ("'3.5"): meant as a number, but written in a way the reader
// refuses with its own reason.
bool LooksLikeNumber(std::string_view written);

// Digit groups of three after separators that are not the decimal mark: "1,234.5", "1.234,5",
// "1'000", "12 345".
bool HasThousandsSeparator(std::string_view written, bool decimalComma);

// Whether cell is a number followed by the letters of a unit, such as "3.5h", "30min" or
// "1,5 h".
bool HasUnit(std::string_view written);

// Whether cell is a duration such as "01:30:00", "12:30" or "0:00:45.5".
bool IsDuration(std::string_view cell);

// Whether cell is a duration in units, as test tools and ISO 8601 write them: "1h 20m",
// "2h5m30s", "PT1H20M", "P1DT2H".
bool IsDurationInUnits(std::string_view cell);

// Whether cell names a unit of time, as a test log writes it after each time.
bool IsTimeUnit(std::string_view cell);

// Whether cell labels a row of totals or averages below the data, as spreadsheets add them:
// "Total", "Sum:", "Average".
bool IsTotalsLabel(std::string_view cell);

// A number (also one written with separators the reader refuses), a date-time (also in a
// form not read), text, or empty.
ColumnType CellType(std::string_view cell, bool decimalComma);

}  // namespace tamsel
