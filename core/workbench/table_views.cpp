#include "tamsel/workbench/table_views.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "row_selections.h"

#include "tamsel/store/sets.h"
#include "tamsel/workbench/fit_outcomes.h"

namespace tamsel {
namespace {

// The first two columns of every table are the row key and the set key.
constexpr std::size_t kHiddenColumns = 2;

std::optional<RowSet> VisibleRows(Database& db, const std::string& table,
                                  const std::string& keyField, int key) {
    std::optional<RowSet> rows =
        SelectRecords(db, table, keyField, std::int64_t{key}, "FailureIndex", "", 0);
    if (!rows) return std::nullopt;
    const std::size_t hidden = std::min(kHiddenColumns, rows->headings.size());
    rows->headings.erase(rows->headings.begin(), rows->headings.begin() + hidden);
    for (auto& row : rows->rows) {
        row.erase(row.begin(), row.begin() + std::min(hidden, row.size()));
    }
    return rows;
}

// The failure index leads every visible row.
int FailureIndexOf(const std::vector<DbValue>& row) {
    const auto* index = row.empty() ? nullptr : std::get_if<std::int64_t>(&row.front());
    return index ? static_cast<int>(*index) : 0;
}

// "Jelinski-Moranda's N" for Parameter1 of JM; for no model, every model's kth parameter.
std::string ParameterNote(std::size_t k, const ModelInfo* model) {
    const std::string fitted =
        " as fitted to the failures up to i (1e30 and 999999 stand for a "
        "limit, as the Outcome column says).";
    if (model) {
        const std::string_view name = model->parameterNames[k];
        if (name.empty()) return std::string(model->name) + " has no such parameter: 0.";
        return std::string(model->name) + "'s parameter " + std::string(name) + fitted;
    }
    std::string names;
    for (const ModelInfo& each : ModelTable()) {
        if (each.parameterNames[k].empty()) continue;
        names += (names.empty() ? "" : ", ") + std::string(each.code) + " " +
                 std::string(each.parameterNames[k]);
    }
    return "The model's parameter (" + names + ")" + fitted;
}

}  // namespace

std::string ColumnNote(TableKind kind, std::string_view heading, const ModelInfo* model) {
    if (kind == TableKind::FailureTimes) {
        if (heading == "FailureIndex") return "The failure's number, in the order of failures.";
        if (heading == "InterfailureTime") {
            return "The time from the failure before (from the start of testing for the "
                   "first), in the dataset's unit.";
        }
        if (heading == "CumulativeTime") {
            return "The time from the start of testing to the failure, in the dataset's unit.";
        }
        return "";
    }
    const bool recalibrated = kind == TableKind::RecalibratedEstimates;
    const std::string predicted =
        std::string(recalibrated ? "the recalibrated prediction" : "the prediction") +
        " of the time from failure i to failure i + 1";
    // The last row of an estimates set has no next failure to compare with.
    const std::string lastRow = recalibrated ? "" : "; 0 on the last row";
    if (heading == "FailureIndex") {
        return "Failure i: the fit uses the failures up to i, and the row holds " + predicted + ".";
    }
    if (heading == "Pdf") {
        return "The density of " + predicted +
               " at the time observed (1e-30 stands for a vanishing density" + lastRow + ").";
    }
    if (heading == "Cdf") {
        return "The probability, by " + predicted +
               ", that it is no longer than the time observed: the u-value of the u-plot" +
               (recalibrated ? "." : " (0 on the last row).");
    }
    if (heading == "LowQ" || heading == "Median" || heading == "UppQ") {
        const char* level = heading == "LowQ"     ? "The lower quartile (25 %)"
                            : heading == "Median" ? "The median (50 %)"
                                                  : "The upper quartile (75 %)";
        return std::string(level) + " of " + predicted + " (1e30 stands for an infinite time).";
    }
    if (heading == "MTTF") {
        if (recalibrated) return "The mean is not recalibrated: empty.";
        return "The mean of " + predicted +
               " (1e307 stands for an infinite mean; 0 where the model gives none).";
    }
    if (recalibrated) return "";
    for (std::size_t k = 0; k < 3; ++k) {
        if (heading == "Parameter" + std::to_string(k + 1)) return ParameterNote(k, model);
    }
    if (heading == "LogLikelihood") {
        return "The log-likelihood of the failures up to i at the fit's maximum.";
    }
    if (heading == "Outcome") {
        return "How the fit at failure i ended: converged, at a limit of the model, on a "
               "boundary of the parameters, out of iterations, or singular (the row then "
               "predicts from the nearest earlier fit).";
    }
    return "";
}

namespace {

// Each heading's note.
std::vector<std::string> HeadingNotes(const RowSet& rows, TableKind kind,
                                      const ModelInfo* model = nullptr) {
    std::vector<std::string> notes;
    for (const std::string& heading : rows.headings) {
        notes.push_back(ColumnNote(kind, heading, model));
    }
    return notes;
}

// The model of an estimates set; null when the set cannot be read or its model is unknown.
const ModelInfo* ModelOf(Database& db, int estimatesSetId) {
    const std::optional<EstimatesSetInfo> set = GetEstimatesSet(db, estimatesSetId);
    return set ? FindModel(set->modelNumber) : nullptr;
}

}  // namespace

std::optional<RowSet> FailureTimesRows(Database& db, int dataSetId) {
    return VisibleRows(db, "FailureTimes", "DataSetID", dataSetId);
}

std::optional<RowSet> EstimatesRows(Database& db, int estimatesSetId) {
    std::optional<RowSet> rows = VisibleRows(db, "Estimates", "EstimatesSetID", estimatesSetId);
    if (!rows) return std::nullopt;
    std::optional<std::map<int, std::string>> outcomes = FitOutcomesByIndex(db, estimatesSetId);
    if (!outcomes) return std::nullopt;
    rows->headings.push_back("Outcome");
    for (auto& row : rows->rows) {
        const auto found = outcomes->find(FailureIndexOf(row));
        row.push_back(found == outcomes->end() ? std::string(kOutcomeNotRecorded) : found->second);
    }
    return rows;
}

std::optional<RowSet> PredictionsRows(Database& db, int predictionsSetId) {
    return VisibleRows(db, "Predictions", "PredictionsSetID", predictionsSetId);
}

std::optional<TableView> ShowFailureTimesTable(Database& db, const CurrentSelection& selection) {
    const std::optional<DataSetInfo> dataSet = FindDataSet(db, selection.dataSetName);
    if (!dataSet) return std::nullopt;
    std::optional<RowSet> rows = FailureTimesRows(db, dataSet->id);
    if (!rows) return std::nullopt;
    std::vector<std::string> notes = HeadingNotes(*rows, TableKind::FailureTimes);
    return TableView{"TABLE: " + selection.dataSetName + " - Failure times",
                     "Failure Times",
                     std::move(*rows),
                     {},
                     {},
                     std::move(notes)};
}

std::optional<TableView> ShowEstimatesTable(Database& db, const CurrentSelection& selection) {
    if (selection.recalibrated) {
        std::optional<RowSet> rows = PredictionsRows(db, selection.predictionsSetId);
        if (!rows) return std::nullopt;
        // A recalibrated prediction is the raw fit's at the same index, passed through the
        // spline: the row carries that fit's note.
        const std::optional<std::map<int, std::string>> outcomes =
            FitOutcomesByIndex(db, selection.estimatesSetId);
        if (!outcomes) return std::nullopt;
        std::vector<std::string> notes;
        for (const auto& row : rows->rows) {
            const auto found = outcomes->find(FailureIndexOf(row));
            notes.push_back(found == outcomes->end()
                                ? std::string()
                                : OutcomeNote(FailureIndexOf(row), found->second));
        }
        std::vector<std::string> headingNotes =
            HeadingNotes(*rows, TableKind::RecalibratedEstimates);
        return TableView{"Table - " + selection.dataSetName + " (" + selection.modelName + " - " +
                             selection.inferenceMethodName + " - " +
                             selection.recalibrationMethodName + ") - Recalibrated estimates ",
                         "Recalibrated Estimates",
                         std::move(*rows),
                         std::move(notes),
                         {{selection.predictionsSetId, true}},
                         std::move(headingNotes)};
    }
    std::optional<RowSet> rows = EstimatesRows(db, selection.estimatesSetId);
    if (!rows) return std::nullopt;
    std::vector<std::string> notes;
    for (const auto& row : rows->rows) {
        const auto* outcome = std::get_if<std::string>(&row.back());
        notes.push_back(outcome ? OutcomeNote(FailureIndexOf(row), *outcome) : std::string());
    }
    std::vector<std::string> headingNotes =
        HeadingNotes(*rows, TableKind::Estimates, ModelOf(db, selection.estimatesSetId));
    return TableView{"TABLE: " + selection.dataSetName + " (" + selection.modelName + " - " +
                         selection.inferenceMethodName + ") - Estimates ",
                     "Estimates",
                     std::move(*rows),
                     std::move(notes),
                     {{selection.estimatesSetId, false}},
                     std::move(headingNotes)};
}

}  // namespace tamsel
