// The project file as the front ends reach it: creating and opening it, the lookups of a
// dataset by name and of a record by key, a custom range, and turning a set into the current
// selection. Every routine that fails has shown its message through the sink. Datasets are added
// from data files by the import library (AddDataSetFromFile, and ReadTableFile for a preview).
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tamsel/import/add_data_set.h"
#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/sets.h"
#include "tamsel/support/messages.h"
#include "tamsel/support/selection.h"
#include "tamsel/workbench/plot_rows.h"

namespace tamsel {

// The reference content's default range (failure 20 to the last) and inference method.
inline constexpr int kDefaultRangeId = 1;
inline constexpr int kDefaultRangeStart = 20;
inline constexpr int kDefaultInferenceMethodId = 1;

// The New Database command: false after "An error occurred in creating a new database".
bool CreateProject(const std::string& fileName);

// The existing project file fileName, or nullptr after "An error occurred in selecting a
// database"; a refused file is not written to.
std::unique_ptr<Database> OpenProject(const std::string& fileName);

// The key of the dataset named name, blanks around it dropped. nullopt after "There is no
// dataset named "<name>"." or the store's message.
std::optional<int> LookUpDataSet(Database& db, const std::string& name);

// Deletes the dataset named name (blanks around it dropped) with everything computed from
// it. False, with nothing changed, when the store refuses or a set cancel flag stops it.
bool RemoveDataSet(Database& db, const std::string& name,
                   const std::atomic<bool>* cancel = nullptr);

// Every problem in the whole file (damaged pages, broken relations, values the program cannot
// use), one sentence each. When there are any, also shows "The project file has <n>
// problems."; nullopt after a message when the check could not run.
std::optional<std::vector<std::string>> CheckProject(Database& db);

enum class KeyedRecord { EstimatesSet, PredictionsSet, RecalibrationMethod };

// Whether the record with key exists; silent, so that a caller can say more. Nothing after
// a read error (already shown).
std::optional<bool> HasRecord(Database& db, KeyedRecord kind, int key);

// Whether the record with key exists; when not, shows "There is no estimates set with the
// key <key>." (predictions set, recalibration method).
bool RecordExists(Database& db, KeyedRecord kind, int key);

// The Ranges row from failure start to end (to the last failure when end is empty), made
// when there is none. nullopt after a message when the range does not fit the dataset
// (starts before failure 1, ends before it starts, reaches beyond the last failure) or
// cannot be stored.
std::optional<int> CustomRange(Database& db, int dataSetId, int start, std::optional<int> end);

// The name users see for the set's model: the model's own, since the stored reference row of
// Littlewood-Verrall keeps an older spelling.
std::string ModelName(const EstimatesSetInfo& set);

// selection with set current: the raw estimates set or the recalibrated one, with what
// the status bar and the builders read of it.
CurrentSelection WithEstimatesSet(CurrentSelection selection, const EstimatesSetInfo& set);
std::optional<CurrentSelection> WithRecalibratedSet(Database& db, CurrentSelection selection,
                                                    int predictionsSetId);

// selection with set current, set being one of the sets of selection's dataset. A raw set
// of another dataset, or none, shows "Dataset <name> has no estimates set with the key
// <key>.".
std::optional<CurrentSelection> WithSetOfDataSet(Database& db, CurrentSelection selection,
                                                 const PredictionSetRef& set);

}  // namespace tamsel
