// How the fits of an estimates set ended, as the tables, the plots and the run summaries show
// it. Every front end reads outcomes through here, never the stored sentinel values: a limit
// record's 1e30 stops being unmistakable on data of that size, its outcome does not.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/measures/chart_description.h"
#include "tamsel/records/termination.h"
#include "tamsel/store/database.h"

namespace tamsel {

// What the tables show for a set stored by a version that did not record outcomes.
inline constexpr std::string_view kOutcomeNotRecorded = "not recorded";

// The number of fits that ended each way, indexed by FitOutcome.
struct FitOutcomeCounts {
    std::array<int, 5> byOutcome{};
    int Count(FitOutcome outcome) const { return byOutcome[static_cast<std::size_t>(outcome)]; }
    int Total() const;
};

FitOutcomeCounts CountOutcomes(std::span<const FitTermination> terminations);

// "117 fits: 114 converged, 3 at a limit": the converged count always, then those at a limit,
// at a boundary, out of iterations and singular, each only when there are any.
std::string FitSummary(const FitOutcomeCounts& counts);

// The kind of a stored outcome text ("limit:MO" is a Limit); nothing for "not recorded" or
// a text no version writes.
std::optional<FitOutcome> OutcomeKind(std::string_view outcome);

// True for a fit that found no interior maximum nor a limit's supremum: a boundary, an
// exhausted budget or a singular window. Its row deserves a second look.
bool IsIrregularOutcome(std::string_view outcome);

// For an irregular outcome, a sentence saying how the fit at failureIndex ended; empty
// otherwise.
std::string OutcomeNote(int failureIndex, std::string_view outcome);

// The stored outcome texts of the set by failure index; empty when none were recorded.
// nullopt after the store's message.
std::optional<std::map<int, std::string>> FitOutcomesByIndex(Database& db, int estimatesSetId);

// The FitSummary of the stored outcomes of the set, or "not recorded". nullopt after the
// store's message.
std::optional<std::string> StoredFitSummary(Database& db, int estimatesSetId);

// The points (x a failure index) whose fit in the set ended irregularly, which plots draw
// as hollow markers. nullopt after the store's message.
std::optional<std::vector<ChartPoint>> IrregularFitPoints(Database& db, int estimatesSetId,
                                                          const std::vector<ChartPoint>& points);

}  // namespace tamsel
