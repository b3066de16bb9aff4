// The stored rows behind the plots, read through the store's selections, and the label
// that names a set in a comparison plot. Every routine that fails has shown its message
// through the sink and gives nullopt.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/measures/chart_description.h"
#include "tamsel/measures/measures.h"
#include "tamsel/measures/trend.h"
#include "tamsel/store/database.h"

namespace tamsel {

// A set of predictions: an estimates set (raw) or a recalibrated predictions set.
struct PredictionSetRef {
    int id = 0;
    bool recalibrated = false;
    friend bool operator==(const PredictionSetRef&, const PredictionSetRef&) = default;
};

// The model code of the set's model, followed by "#" for a recalibrated set.
std::optional<std::string> ModelLabel(Database& db, const PredictionSetRef& set);

// The set's predictions that were followed by an observation, from failure index fromIndex
// on, ascending by failure index: a raw set without its last row (the failure it predicts
// has not been observed), a recalibrated set with all its rows.
std::optional<std::vector<PredictionRow>> ReadPredictionRows(Database& db,
                                                             const PredictionSetRef& set,
                                                             int fromIndex);

// (failure index, Median) of every row of the set, ascending: a raw set including its last
// row.
std::optional<std::vector<ChartPoint>> ReadMedians(Database& db, const PredictionSetRef& set);

struct QuartileRow {
    int failureIndex = 0;
    double lowQ = 0.0;
    double median = 0.0;
    double uppQ = 0.0;
    double mttf = 0.0;
};

// Every row of the estimates set, ascending by failure index.
std::optional<std::vector<QuartileRow>> ReadQuartiles(Database& db, int estimatesSetId);

struct FailureTimeRow {
    int failureIndex = 0;
    double interfailureTime = 0.0;
    double cumulativeTime = 0.0;
};

// The failure times of the dataset named dataName, ascending by failure index. An unknown
// name shows "There is no dataset named \"<dataName>\"."
std::optional<std::vector<FailureTimeRow>> ReadFailureTimeRows(Database& db,
                                                               const std::string& dataName);

// The Laplace factor and running average at every failure of the dataset named dataName, in
// failure order; fails as ReadFailureTimeRows.
std::optional<std::vector<TrendPoint>> ReadTrend(Database& db, const std::string& dataName);

}  // namespace tamsel
