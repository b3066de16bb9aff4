// Reading one stored fit of an estimates set: its parameters, median and log-likelihood at a
// failure index, with the cumulative time of that failure.
#pragma once

#include <optional>

#include "tamsel/models/predictive.h"
#include "tamsel/records/records.h"
#include "tamsel/store/database.h"

namespace tamsel {

struct StoredRow {
    StoredFit fit;
    double logLhd = 0.0;  // 0 in sets made before it was kept
};

// The row of estimates set estimatesSetId at failureIndex, T read from cumulative (indexed by
// failure, element 0 unused). nullopt after a message when the row is missing or cannot be
// read ("An error occurred while extracting the model parameters", or the store's own).
std::optional<StoredRow> ReadStoredRow(Database& db, int estimatesSetId, int failureIndex,
                                       const FailureSeries& cumulative);

}  // namespace tamsel
