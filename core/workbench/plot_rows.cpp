#include "tamsel/workbench/plot_rows.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <variant>
#include "row_selections.h"

#include "row_values.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

struct SetTable {
    std::string table;
    std::string keyField;
};

SetTable TableOf(const PredictionSetRef& set) {
    return set.recalibrated ? SetTable{"Predictions", "PredictionsSetID"}
                            : SetTable{"Estimates", "EstimatesSetID"};
}

// Every row of the set from fromIndex on (all when fromIndex < 1), by failure index, turned
// into values by convert. A Null or text where a number belongs fails with the message of
// the store's field extraction.
template <typename Value>
std::optional<std::vector<Value>> ReadSetRows(
    Database& db, const SetTable& source, std::int64_t key, int fromIndex,
    const std::function<Value(const RowSet&, const std::vector<DbValue>&)>& convert) {
    std::optional<RowSet> rows = SelectRecords(db, source.table, source.keyField, key,
                                               "FailureIndex", "FailureIndex", fromIndex);
    if (!rows) return std::nullopt;
    try {
        std::vector<Value> values;
        values.reserve(rows->rows.size());
        for (const auto& row : rows->rows) values.push_back(convert(*rows, row));
        return values;
    } catch (const BadRow&) {
        ShowMessage("An error occurred while extracting fields from table " + source.table +
                    " where the field " + source.keyField + " = " + std::to_string(key));
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::string> ModelLabel(Database& db, const PredictionSetRef& set) {
    if (!set.recalibrated) return GetModelCode(db, set.id);
    std::optional<RecalibratedSetInfo> predictions = GetPredictionsSet(db, set.id);
    if (!predictions) return std::nullopt;
    std::optional<std::string> code = GetModelCode(db, predictions->estimatesSetId);
    if (!code) return std::nullopt;
    return *code + "#";
}

std::optional<std::vector<PredictionRow>> ReadPredictionRows(Database& db,
                                                             const PredictionSetRef& set,
                                                             int fromIndex) {
    auto rows = ReadSetRows<PredictionRow>(
        db, TableOf(set), set.id, fromIndex, [](const RowSet& rows, const auto& row) {
            return PredictionRow{Index(row[Column(rows, "FailureIndex")]),
                                 Number(row[Column(rows, "Cdf")]),
                                 Number(row[Column(rows, "Pdf")])};
        });
    // The last row of a raw set predicts a failure not yet observed. It is the last row read
    // whenever any is, since the selection only drops rows below fromIndex.
    if (rows && !set.recalibrated && !rows->empty()) rows->pop_back();
    return rows;
}

std::optional<std::vector<ChartPoint>> ReadMedians(Database& db, const PredictionSetRef& set) {
    return ReadSetRows<ChartPoint>(
        db, TableOf(set), set.id, 0, [](const RowSet& rows, const auto& row) {
            return ChartPoint{static_cast<double>(Index(row[Column(rows, "FailureIndex")])),
                              Number(row[Column(rows, "Median")])};
        });
}

std::optional<std::vector<QuartileRow>> ReadQuartiles(Database& db, int estimatesSetId) {
    return ReadSetRows<QuartileRow>(db, TableOf({estimatesSetId, false}), estimatesSetId, 0,
                                    [](const RowSet& rows, const auto& row) {
                                        return QuartileRow{Index(row[Column(rows, "FailureIndex")]),
                                                           Number(row[Column(rows, "LowQ")]),
                                                           Number(row[Column(rows, "Median")]),
                                                           Number(row[Column(rows, "UppQ")]),
                                                           Number(row[Column(rows, "MTTF")])};
                                    });
}

std::optional<std::vector<FailureTimeRow>> ReadFailureTimeRows(Database& db,
                                                               const std::string& dataName) {
    std::optional<int> dataSetId = FindDataSetId(db, dataName);
    if (!dataSetId) return std::nullopt;
    if (*dataSetId == 0) {
        ShowMessage("There is no dataset named \"" + dataName + "\".");
        return std::nullopt;
    }
    return ReadSetRows<FailureTimeRow>(db, SetTable{"FailureTimes", "DataSetID"}, *dataSetId, 0,
                                       [](const RowSet& rows, const auto& row) {
                                           return FailureTimeRow{
                                               Index(row[Column(rows, "FailureIndex")]),
                                               Number(row[Column(rows, "InterfailureTime")]),
                                               Number(row[Column(rows, "CumulativeTime")])};
                                       });
}

std::optional<std::vector<TrendPoint>> ReadTrend(Database& db, const std::string& dataName) {
    std::optional<std::vector<FailureTimeRow>> rows = ReadFailureTimeRows(db, dataName);
    if (!rows) return std::nullopt;
    std::vector<double> interfailure, cumulative;
    for (const FailureTimeRow& row : *rows) {
        interfailure.push_back(row.interfailureTime);
        cumulative.push_back(row.cumulativeTime);
    }
    const std::vector<std::optional<double>> factors = LaplaceFactors(cumulative);
    const std::vector<double> averages = RunningAverages(interfailure);
    std::vector<TrendPoint> trend;
    for (std::size_t k = 0; k < rows->size(); ++k) {
        trend.push_back({(*rows)[k].failureIndex, factors[k], averages[k]});
    }
    return trend;
}

}  // namespace tamsel
