// The league table of a dataset's prediction sets: every raw and recalibrated set judged on
// the same failures by its u-plot, its y-plot and its prequential likelihood.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tamsel/prediction/information_criteria.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

struct SetEvaluation {
    PredictionSetRef set;
    std::string label;             // ModelLabel
    double uPlotDistance = 0.0;    // Kolmogorov distance of the u-plot
    double yPlotDistance = 0.0;    // Kolmogorov distance of the y-plot
    std::optional<double> uPlotP;  // significance of the u-plot's standard statistic
    std::optional<double> yPlotP;  // of the y-plot's (none for a single point)
    std::string verdict;           // BiasVerdict of the two
    double minusLogPl = 0.0;       // -ln of the prequential likelihood
    double logPlr = 0.0;           // ln PL(set) - ln PL(reference)
    int rank = 0;                  // 1 for the highest prequential likelihood; ties share
    // AIC and BIC of the raw set's fit at Evaluation::fitIndex: fit to the failures seen, not
    // prediction. Nothing for a recalibrated set and a set stored without its log-likelihood.
    std::optional<InformationCriteria> criteria;
};

struct Evaluation {
    // The failure indices judged: from the plot start on, those that every set predicts.
    int firstIndex = 0;
    int lastIndex = 0;
    int points = 0;
    PredictionSetRef reference;
    std::string referenceLabel;
    int fitIndex = 0;  // the failure index of the information criteria; 0 when none is shared
    int fitFirst = 0;  // the failure indices every raw set has fitted (empty when fitFirst >
    int fitLast = 0;   // fitLast)
    std::vector<SetEvaluation> sets;  // by rank, then raw before recalibrated, then by key
};

// Evaluates every estimates set and predictions set of the dataset named dataName over the
// failure indices from plotStart on that all of them predict. Without a plotStart the
// largest RangeStart of the dataset's estimates sets plus 15 is taken, where every
// recalibrated set has begun; without a reference the dataset's first estimates set.
// Refusals, each with its message: no dataset of that name ("There is no dataset named
// "<dataName>"."), no estimates set ("There are no estimates calculated for the current
// dataset." CR LF "Please, apply a model first."), a reference that is not one of the sets
// ("The reference set <ref> is not a set of the dataset <dataName>."), and no failure index
// that every set predicts ("The sets of the dataset <dataName> predict no failure in common
// from failure <plotStart> on.", then "Judge from failure <last> or earlier: the last that
// all of them predict." where an earlier start would do, else "Their ranges have no failure
// in common."). <ref> is the key, with a "p" before it for a predictions set.
//
// The information criteria are read at fitIndex, one failure index for every raw set
// (default: the largest that every raw set has fitted); a fitIndex outside that shared range
// is refused ("Failure <fitIndex> is not fitted by every estimates set of the dataset
// <dataName>. Choose a failure from <first> to <last>.").
std::optional<Evaluation> EvaluateDataSet(Database& db, const std::string& dataName,
                                          std::optional<int> plotStart,
                                          std::optional<PredictionSetRef> reference,
                                          std::optional<int> fitIndex = std::nullopt);

// The league table as the command-line tool and the evaluation window show it: one row a set
// by rank, the prediction-quality columns, the verdict, then AIC and BIC labelled as fit to
// Evaluation::fitIndex. What a set lacks is a dash when dashes, else empty.
RowSet EvaluationTable(const Evaluation& evaluation, bool dashes);

// A set as the command-line tool names it: the key of an estimates set, or "p" and the key
// of a predictions set.
std::string SetRefText(const PredictionSetRef& set);
std::optional<PredictionSetRef> ParseSetRef(const std::string& text);

}  // namespace tamsel
