// Tables as text: the one way numbers are written in tables, the text file of Save Table
// (print zones), and CSV.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

#include "tamsel/store/queries.h"

namespace tamsel {

// A number as tables write it: the shortest decimal form that reads back as the same double
// when significantDigits is 0, else that many significant digits; "nan", "inf" and "-inf"
// for the values that are not finite. Written the same in every locale.
std::string FormatTableNumber(double value, int significantDigits = 0);

// Width of a print zone in characters.
inline constexpr std::size_t kPrintZoneWidth = 14;

// Writes rows (no heading line) in print zones, each line ended by CR LF: the first value
// as it is, every further one at the start of the next zone, that is the next multiple of 14
// characters beyond the line so far (a line that has just reached a multiple goes to the one
// after). A number is written with a blank before it when it is not negative (a minus sign
// otherwise) and one blank after it; text as it is; an empty value as the word Null.
void WriteTextTable(std::ostream& out, const RowSet& rows);

// The two files Save Table writes: print zones (WriteTextTable) or CSV (WriteCsvTable).
enum class TableFile { PrintZones, Csv };

// Writes rows into fileName as format says, replacing what was there. False when the file
// cannot be written.
bool SaveTextTable(const std::string& fileName, const RowSet& rows,
                   TableFile format = TableFile::PrintZones);

// Writes a heading line with the column headings, then one line a row; numbers with 17
// significant digits, empty values as empty fields, fields with commas, quotes or line
// breaks in double quotes (quotes doubled). Lines end with LF.
void WriteCsvTable(std::ostream& out, const RowSet& rows);

}  // namespace tamsel
