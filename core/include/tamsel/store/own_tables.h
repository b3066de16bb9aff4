// The tables Tamsel keeps beside the defined ones. Each cascades from a defined table, so
// deleting a dataset takes its rows along; the defined tables never change shape.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/records/termination.h"
#include "tamsel/store/database.h"

namespace tamsel {

// Creates the own tables that db lacks, all in one transaction; a database made by an
// earlier version gains them when opened, its fit outcomes of a row per fit moved into one
// list per set. Throws DatabaseError, leaving db as it was.
void EnsureOwnTables(Database& db);

// Stores how the cumulative times of a dataset read from date-times are measured: the origin
// (ISO 8601, UTC), the time zone of date-times written without one, and the unit. False,
// with nothing stored, when the row is refused.
bool InsertDataSetTimeBase(Database& db, int dataSetId, const std::string& origin,
                           const std::string& timeZone, const std::string& unit);

// How the cumulative times of a dataset read from date-times are measured, as stored.
struct DataSetTimeBase {
    std::string origin;
    std::string timeZone;
    std::string unit;
};

// The dataset's time base; nullopt when it has none (its times were numbers). Throws
// DatabaseError.
std::optional<DataSetTimeBase> ReadDataSetTimeBase(Database& db, int dataSetId);

// How the fit at one failure index of an estimates set ended.
struct FitOutcomeRow {
    int failureIndex = 0;
    std::string outcome;  // OutcomeText of the fit's termination
    int evaluations = 0;
    bool operator==(const FitOutcomeRow&) const = default;
};

// Stores how the fits at failure indices first..last of the set ended (terminations is
// indexed by failure index) as the set's one list; in the caller's transaction, it rolls back
// with it. False, with nothing stored, when an index lies outside terminations, the set has
// its list already, or the row is refused.
bool StoreFitOutcomes(Database& db, int estimatesSetId, int first, int last,
                      const std::vector<FitTermination>& terminations);

// Replaces the outcomes of the set from failure index first on with those of first..last, as
// StoreFitOutcomes stores them; a set without outcomes (stored by an earlier version) is left
// without. Throws DatabaseError; false, with nothing changed, when an index lies outside
// terminations or the list would skip an index.
bool ReplaceFitOutcomesFrom(Database& db, int estimatesSetId, int first, int last,
                            const std::vector<FitTermination>& terminations);

// The outcomes stored for the set, by failure index; empty for a set stored by a version
// that did not record them. Failure: "An error occurred while reading the database."
std::optional<std::vector<FitOutcomeRow>> ReadFitOutcomes(Database& db, int estimatesSetId);

}  // namespace tamsel
