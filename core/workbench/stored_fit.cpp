#include "stored_fit.h"

#include <cstddef>
#include <string>

#include "row_selections.h"
#include "row_values.h"
#include "tamsel/store/queries.h"
#include "tamsel/support/messages.h"

namespace tamsel {

std::optional<StoredRow> ReadStoredRow(Database& db, int estimatesSetId, int failureIndex,
                                       const FailureSeries& cumulative) {
    std::optional<RowSet> rows = SelectRecords(db, "Estimates", "EstimatesSetID", estimatesSetId,
                                               "FailureIndex", "FailureIndex", failureIndex);
    if (!rows) return std::nullopt;
    const auto index = static_cast<std::size_t>(failureIndex);
    try {
        if (rows->rows.empty() || failureIndex < 1 || index >= cumulative.size()) throw BadRow();
        const auto& row = rows->rows.front();
        if (Index(row[Column(*rows, "FailureIndex")]) != failureIndex) throw BadRow();
        StoredRow stored;
        stored.fit = StoredFit{failureIndex,
                               Number(row[Column(*rows, "Parameter1")]),
                               Number(row[Column(*rows, "Parameter2")]),
                               Number(row[Column(*rows, "Parameter3")]),
                               Number(row[Column(*rows, "Median")]),
                               cumulative[index]};
        const DbValue& logLhd = row[Column(*rows, "LogLikelihood")];
        stored.logLhd = IsNull(logLhd) ? 0.0 : Number(logLhd);
        return stored;
    } catch (const BadRow&) {
        ShowMessage("An error occurred while extracting the model parameters");
        return std::nullopt;
    }
}

}  // namespace tamsel
