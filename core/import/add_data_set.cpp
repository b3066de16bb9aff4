#include "tamsel/import/add_data_set.h"

#include <exception>

#include "tamsel/store/cancel_watch.h"
#include "tamsel/store/foreign_keys.h"
#include "tamsel/store/own_tables.h"
#include "tamsel/store/queries.h"
#include "tamsel/store/writers.h"
#include "tamsel/support/messages.h"
#include "tamsel/support/utf8.h"

namespace tamsel {
namespace {

bool IsNameBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

DataType ChooseDataType(const std::vector<double>& values, DataTypeChoice choice,
                        std::vector<std::string>& notes) {
    AutomaticType automatic = DetectAutomaticType(values);
    if (choice == DataTypeChoice::Automatic) {
        if (!automatic.note.empty()) notes.push_back(std::move(automatic.note));
        return automatic.type;
    }
    // Equal values that only interfailure times allow are no cause for a question.
    if (choice == DataTypeChoice::Interfailure) {
        if (automatic.type == DataType::Interfailure) return DataType::Interfailure;
        MessageAnswer answer =
            Ask(JoinLines({"The input data set is monotonically increasing, ",
                           "are you sure you want it read as interfailure times?",
                           "Click Yes for interfailure times, No for cumulative times."}),
                MessageButtons::YesNo, MessageIcon::Question);
        return answer == MessageAnswer::Yes ? DataType::Interfailure : DataType::Cumulative;
    }
    const DataType detected = DetectDataType(values);
    if (detected == DataType::Interfailure) {
        ShowMessage(
            "The input data set is not monotonically increasing, it will be read as "
            "interfailure times.",
            MessageIcon::Exclamation);
    }
    return detected;
}

// The time base of date-times of the dataset dataSetId.
bool StoreTimeBase(Database& db, int dataSetId, const TableSummary& summary,
                   const TableOptions& options) {
    if (summary.timeBase.empty()) return true;
    EnsureOwnTables(db);
    return InsertDataSetTimeBase(db, dataSetId, summary.originUtc, summary.timeZone,
                                 std::string(TimeUnitName(options.timestamps->unit)));
}

constexpr const char* kCancelled = "The import was cancelled by user action";

enum class StoreOutcome { Stored, AttributesFailed, FailuresFailed };

bool Cancelled(const AddDataSetRequest& request) {
    return request.table.cancel && request.table.cancel->load();
}

// The dataset row, its time base and its failure times in one unit. The engine's check of
// each failure row's dataset is about a fifth of the cost of a large import, so the unit
// runs without it and checks its new rows once before committing; any violation rolls the
// whole unit back.
StoreOutcome StoreDataSet(Database& db, const AddDataSetRequest& request, const AddedDataSet& added,
                          const std::vector<double>& values, const TableSummary& summary,
                          const std::string& source) {
    const int typeId = static_cast<int>(added.dataType);
    const ForeignKeysSuspended checkedOnce(db);
    Transaction unit(db);
    {
        const CancelWatch watch(db, request.table.cancel);
        const std::int64_t lastFailure = LastRowKey(db, "FailureTimes");
        const int dataSetId = InsertDataSet(db, added.name, AsUtf8(request.fileName), typeId,
                                            added.failureCount, AsUtf8(source));
        if (dataSetId == 0 || !StoreTimeBase(db, dataSetId, summary, request.table)) {
            return StoreOutcome::AttributesFailed;
        }
        // Leaving the unit uncommitted takes the dataset row away again.
        if (!InsertFailureTimes(db, values, typeId, added.name) ||
            !NewRowsKeysHold(db, "FailureTimes", lastFailure) ||
            !NewRowsKeysHold(db, "DataSets", 0) ||
            (!summary.timeBase.empty() && !NewRowsKeysHold(db, "DataSetTimeBase", 0))) {
            return StoreOutcome::FailuresFailed;
        }
    }
    // Past this point the import finishes: a cancel comes too late to leave nothing behind.
    unit.Commit();
    return StoreOutcome::Stored;
}

std::optional<AddedDataSet> AddDataSet(Database& db, const AddDataSetRequest& request) {
    std::string name = TrimDataName(request.name);
    if (!CheckDataName(db, name)) return std::nullopt;
    if (request.fileName.empty()) {
        ShowMessage(JoinLines({"No input data file selected.", "Please select data file."}));
        return std::nullopt;
    }
    TableResult table = ReadTableFile(request.fileName, request.table);
    if (table.cancelled) {
        ShowMessage(kCancelled, MessageIcon::Information);
        return std::nullopt;
    }
    if (table.refusal) {
        const TableRefusal& refusal = *table.refusal;
        ShowMessage(DataFaultMessage(refusal.fault, refusal.whileReading, refusal.detail));
        return std::nullopt;
    }
    const std::vector<double>& values = table.values;
    TableSummary& summary = table.summary;
    DataType type = ChooseDataType(values, request.choice, summary.notes);
    // Read as cumulative times, repeated values become zero interfailure times.
    if (!ValidateZeros(values, type) || !ValidateTotal(values, type)) return std::nullopt;

    std::string source = request.source;
    if (!summary.timeBase.empty()) {
        if (!source.empty() && !source.ends_with('\n')) source += kLineBreak;
        source += "Times in " + summary.timeBase;
    }
    AddedDataSet added{name, type, static_cast<int>(values.size()), summary.notes};
    const StoreOutcome stored = StoreDataSet(db, request, added, values, summary, source);
    if (stored != StoreOutcome::Stored && Cancelled(request)) {
        ShowMessage(kCancelled, MessageIcon::Information);
        return std::nullopt;
    }
    if (stored == StoreOutcome::AttributesFailed) {
        ShowMessage(JoinLines(
            {"An error occurred while adding the attributes of a new data set to the database.",
             "Please re-add the data from file, checking all the data attributes."}));
        return std::nullopt;
    }
    if (stored == StoreOutcome::FailuresFailed) {
        ShowMessage(
            JoinLines({"An error occurred while adding the new failure data to the "
                       "database.",
                       "Please re-add the data from file (the attributes of the data "
                       "set will be deleted from the database)."}));
        return std::nullopt;
    }
    if (added.failureCount < kFewFailures) {
        const std::string count = std::to_string(added.failureCount);
        ShowMessage("The dataset \"" + name + "\" holds " + count +
                        (added.failureCount == 1 ? " failure" : " failures") +
                        ", and models are applied from failure 20 by default. Apply "
                        "them over a range that starts at or before failure " +
                        count + " (tamsel-cli apply --range START).",
                    MessageIcon::Information);
    }
    return added;
}

}  // namespace

std::string TrimDataName(const std::string& name) {
    std::size_t first = 0;
    std::size_t last = name.size();
    while (first < last && IsNameBlank(name[first])) ++first;
    while (last > first && IsNameBlank(name[last - 1])) --last;
    return name.substr(first, last - first);
}

bool CheckDataName(Database& db, const std::string& name) {
    std::string trimmed = TrimDataName(name);
    if (trimmed.empty()) {
        ShowMessage("Please enter a name for the dataset");
        return false;
    }
    if (const std::optional<std::size_t> stray = FirstNonUtf8Byte(trimmed)) {
        ShowMessage("The dataset name is not UTF-8 text: " + StrayByteText(trimmed, *stray) +
                    ". Give the name in UTF-8 (a terminal whose language setting is not UTF-8 "
                    "sends other bytes).");
        return false;
    }
    std::optional<bool> exists = DataSetNameExists(db, trimmed);
    if (!exists) return false;  // the lookup has shown its message
    if (*exists) {
        ShowMessage(JoinLines({"The data name specified already exists.",
                               "Please, specify a valid and unique name for the dataset."}));
        return false;
    }
    return true;
}

std::optional<AddedDataSet> AddDataSetFromFile(Database& db, const AddDataSetRequest& request) {
    // Refused before the file is read, as a model run is refused before it fits.
    if (std::optional<std::string> refusal = db.WriteRefusal()) {
        ShowMessage(*refusal);
        return std::nullopt;
    }
    try {
        return AddDataSet(db, request);
    } catch (const std::exception& error) {
        // The engine refusing to open or to commit the unit, or stopped by a cancel: nothing
        // was stored. A lock or a damaged file is named as such.
        if (Cancelled(request)) {
            ShowMessage(kCancelled, MessageIcon::Information);
        } else {
            const std::string usual =
                "A generic error has occurred while adding a new data set to the database";
            const auto* stored = dynamic_cast<const DatabaseError*>(&error);
            ShowMessage(stored ? FailureText(*stored, usual) : usual);
        }
        return std::nullopt;
    }
}

}  // namespace tamsel
