#include "tamsel/workbench/fit_outcomes.h"

#include <numeric>

#include "tamsel/store/own_tables.h"

namespace tamsel {
namespace {

// The summary's words for each kind, in FitOutcome order.
constexpr std::array<std::string_view, 5> kSummaryWords = {
    "converged", "at a limit", "at a boundary", "out of iterations", "singular"};

// The stored text of each kind, or its prefix before the ':' that names the limit or parameter.
constexpr std::array<std::string_view, 5> kOutcomeWords = {"converged", "limit", "boundary",
                                                           "iterations", "singular"};

}  // namespace

int FitOutcomeCounts::Total() const {
    return std::accumulate(byOutcome.begin(), byOutcome.end(), 0);
}

FitOutcomeCounts CountOutcomes(std::span<const FitTermination> terminations) {
    FitOutcomeCounts counts;
    for (const FitTermination& end : terminations) {
        ++counts.byOutcome[static_cast<std::size_t>(end.outcome)];
    }
    return counts;
}

std::string FitSummary(const FitOutcomeCounts& counts) {
    std::string text =
        std::to_string(counts.Total()) + (counts.Total() == 1 ? " fit: " : " fits: ");
    text += std::to_string(counts.Count(FitOutcome::Converged)) + " converged";
    for (std::size_t k = 1; k < kSummaryWords.size(); ++k) {
        if (counts.byOutcome[k] == 0) continue;
        text += ", " + std::to_string(counts.byOutcome[k]) + " " + std::string(kSummaryWords[k]);
    }
    return text;
}

std::optional<FitOutcome> OutcomeKind(std::string_view outcome) {
    const std::string_view word = outcome.substr(0, outcome.find(':'));
    const bool named = word.size() < outcome.size();
    for (std::size_t k = 0; k < kOutcomeWords.size(); ++k) {
        const auto kind = static_cast<FitOutcome>(k);
        const bool takesName = kind == FitOutcome::Limit || kind == FitOutcome::Boundary;
        if (word == kOutcomeWords[k] && named == takesName) return kind;
    }
    return std::nullopt;
}

bool IsIrregularOutcome(std::string_view outcome) {
    const std::optional<FitOutcome> kind = OutcomeKind(outcome);
    return kind && *kind != FitOutcome::Converged && *kind != FitOutcome::Limit;
}

std::string OutcomeNote(int failureIndex, std::string_view outcome) {
    const std::string fit = "The fit at failure " + std::to_string(failureIndex);
    switch (OutcomeKind(outcome).value_or(FitOutcome::Converged)) {
        case FitOutcome::Boundary:
            return fit + " ended on the edge of the parameter space (" +
                   std::string(outcome.substr(outcome.find(':') + 1)) + ").";
        case FitOutcome::Iterations:
            return fit + " ran out of iterations before it converged.";
        case FitOutcome::Singular:
            return fit +
                   " is singular: its likelihood is unbounded, so the row predicts from the "
                   "nearest earlier fit.";
        case FitOutcome::Converged:
        case FitOutcome::Limit:
            break;
    }
    return {};
}

std::optional<std::map<int, std::string>> FitOutcomesByIndex(Database& db, int estimatesSetId) {
    std::optional<std::vector<FitOutcomeRow>> rows = ReadFitOutcomes(db, estimatesSetId);
    if (!rows) return std::nullopt;
    std::map<int, std::string> byIndex;
    for (FitOutcomeRow& row : *rows) byIndex.emplace(row.failureIndex, std::move(row.outcome));
    return byIndex;
}

std::optional<std::string> StoredFitSummary(Database& db, int estimatesSetId) {
    std::optional<std::vector<FitOutcomeRow>> rows = ReadFitOutcomes(db, estimatesSetId);
    if (!rows) return std::nullopt;
    if (rows->empty()) return std::string(kOutcomeNotRecorded);
    FitOutcomeCounts counts;
    for (const FitOutcomeRow& row : *rows) {
        // A text no version writes is left out of the counts.
        if (std::optional<FitOutcome> kind = OutcomeKind(row.outcome)) {
            ++counts.byOutcome[static_cast<std::size_t>(*kind)];
        }
    }
    return FitSummary(counts);
}

std::optional<std::vector<ChartPoint>> IrregularFitPoints(Database& db, int estimatesSetId,
                                                          const std::vector<ChartPoint>& points) {
    std::optional<std::map<int, std::string>> outcomes = FitOutcomesByIndex(db, estimatesSetId);
    if (!outcomes) return std::nullopt;
    std::vector<ChartPoint> irregular;
    for (const ChartPoint& point : points) {
        auto found = outcomes->find(static_cast<int>(point.x));
        if (found != outcomes->end() && IsIrregularOutcome(found->second)) {
            irregular.push_back(point);
        }
    }
    return irregular;
}

}  // namespace tamsel
