// The checks of values read back from a project file, which may be damaged, edited by hand or
// made by another program. Each reader applies them where it reads; `tamsel-cli check` applies
// the same ones to every row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tamsel/store/database.h"

namespace tamsel {

// A value the program cannot work with: the text says where (table and row) and what is wrong.
DatabaseError BadValue(const std::string& where, const std::string& problem);

// The value in column as a finite number; text, Null, a blob or an infinity is a BadValue
// naming where and field.
double NumberAt(const Statement& select, int column, const std::string& where,
                const std::string& field);

// The same for a time, which must also not be negative.
double TimeAt(const Statement& select, int column, const std::string& where,
              const std::string& field);

// The value in column as a whole number from minimum to 2^31 - 1.
int WholeAt(const Statement& select, int column, const std::string& where, const std::string& field,
            int minimum = 0);

// The problem of text in field that is not UTF-8, which a server refuses and the windows show
// as U+FFFD; nothing when it is UTF-8.
std::optional<std::string> NotUtf8Problem(const std::string& field, std::string_view text);

// The problem of a row that a set holds more than once.
inline constexpr const char* kStoredTwice = "the row is stored more than once";

// "Table <table>, <row>": where a value stands, for the messages above.
std::string RowOf(const std::string& table, const std::string& row);

// The failure times of datasets read row by row (DataSetID, FailureIndex, InterfailureTime,
// CumulativeTime), in the order of DataSetID and FailureIndex: each dataset's indexes run
// 1, 2, ... without a gap or a twin, times are finite and not negative, and cumulative times
// never decrease.
class FailureTimesCheck {
  public:
    struct Times {
        double interfailure = 0.0;
        double cumulative = 0.0;
    };
    // The times of row. Throws a BadValue.
    Times Next(const Statement& row);

  private:
    std::int64_t m_dataSetId = -1;
    int m_index = 0;
    double m_cumulative = 0.0;
};

// A DataSets row's DataNumber (column number) against the failure times stored for it (column
// count); key is the DataSetID. Throws a BadValue; returns the DataNumber.
int CheckDataNumber(const Statement& row, int key, int number, int count);

// An estimates set's references: (EstimatesSetID, ModelID, the ModelID found in Models,
// RangeID, the RangeID found in Ranges). A missing model or range throws a BadValue.
void CheckSetReferences(const Statement& row);

}  // namespace tamsel
