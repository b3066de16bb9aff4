// The Forecast command: what a set says at one of its failure indices about the next failure,
// a mission ahead, the faults left and a reliability target, as labelled lines that the
// command-line tool and the Forecast window show alike. Nothing is stored.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tamsel/measures/chart_description.h"
#include "tamsel/prediction/forecast.h"
#include "tamsel/prediction/intervals.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/support/selection.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

// The fit a forecast starts from: a raw set's stored fit at failure index fit.index (T its
// cumulative time), and for a recalibrated set the function that recalibrates the raw
// prediction made there.
struct ForecastBasis {
    PredictionSetRef set;
    std::string label;  // ModelLabel: "JM", or "JM#" for a recalibrated set
    const ModelInfo* model = nullptr;
    StoredFit fit;
    std::optional<RecalibratingFunction> recalibration;  // recalibrated sets only
    // How the raw fit ended, and the 95 % intervals of its parameters (raw sets only: a
    // recalibrated set has no likelihood of its own).
    FitOutcome outcome = FitOutcome::Converged;
    std::optional<ParameterIntervals> intervals;
    int firstIndex = 0;  // the failure indices the set forecasts from
    int lastIndex = 0;
};

// The set current in selection: its recalibrated set when one is current, else its estimates
// set.
PredictionSetRef CurrentSetRef(const CurrentSelection& selection);

// The basis of set at failure index at (default: the set's last). A raw set forecasts from
// each of its rows; a recalibrated set from its first recalibrated index to the raw set's
// last, its recalibrating function refitted to the raw u-values before that index with the
// set's method. Refusals, each with its message: a set the project does not hold, an index
// outside the set's, and a recalibration that cannot be refitted; store failures show the
// store's message.
std::optional<ForecastBasis> LoadForecastBasis(Database& db, const PredictionSetRef& set,
                                               std::optional<int> at);

struct ForecastQuery {
    std::optional<double> mission;          // t > 0
    std::optional<double> targetIntensity;  // > 0
    std::optional<double> targetMttf;       // > 0, read as the intensity 1 / M
};

// What keeps query from being answered, as the message says it ("The mission time must be a
// number above 0.", the same for either target, or both targets at once); nothing when it can
// be answered.
std::optional<std::string> ForecastQueryProblem(const ForecastQuery& query);

// ForecastQueryProblem shown as a message; true when there is none.
bool CheckForecastQuery(const ForecastQuery& query);

// One line of a forecast: what it is and its value, a number or a word ("infinite",
// "unbounded", "not defined", "reached", "never"); a parameter's line also has the ends of
// its 95 % interval.
struct ForecastLine {
    ForecastLine(std::string quantity, DbValue value, DbValue lower = {}, DbValue upper = {})
        : quantity(std::move(quantity)),
          value(std::move(value)),
          lower(std::move(lower)),
          upper(std::move(upper)) {}

    std::string quantity;
    DbValue value;
    DbValue lower;
    DbValue upper;
};

// The lines of the forecast of basis for a query that CheckForecastQuery accepts: the failure
// index and its time, intensity, MTTF, median and 90 % interval of the time to the next
// failure; with a mission its reliability and expected failures; the faults remaining; with
// a target the test time (and fixes) to reach it; then the 95 % intervals of the parameters,
// or why there are none. A recalibrated set defines only the next-failure quantities and
// shows the others as "not defined".
std::vector<ForecastLine> DescribeForecast(const ForecastBasis& basis, const ForecastQuery& query);

// The lines as a table with the columns Quantity, Value, Lower and Upper.
RowSet ForecastTable(const std::vector<ForecastLine>& lines);

// The probability of no failure within t >= 0 of the basis' failure, recalibrated for a
// recalibrated set.
double ForecastReliability(const ForecastBasis& basis, double t);

// R(t) of the basis from t = 0 to beyond the 95 % quantile of the next failure (or the
// mission, when longer), with the mission marked by a dashed vertical line.
ChartDescription ReliabilityChart(const ForecastBasis& basis, const ForecastQuery& query);

// LoadForecastBasis and DescribeForecast after CheckForecastQuery, for one answer.
std::optional<std::vector<ForecastLine>> ForecastSet(Database& db, const PredictionSetRef& set,
                                                     std::optional<int> at,
                                                     const ForecastQuery& query);

}  // namespace tamsel
