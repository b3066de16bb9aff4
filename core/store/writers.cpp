#include "tamsel/store/writers.h"

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <utility>

#include "batch_insert.h"
#include "store_helpers.h"
#include "tamsel/store/cancel_watch.h"
#include "tamsel/store/schema.h"
#include "tamsel/support/messages.h"

namespace tamsel {
namespace {

constexpr const char* kDeleteFailure =
    "An error occurred while trying to delete a record from the DataSets table";

// Refused values never reach the engine: it would store NaN as Null.
class InvalidValue {};

DbValue Finite(double value) {
    if (!std::isfinite(value)) throw InvalidValue{};
    return value;
}

// Runs write as one unit of work, committed only when it returns something other than
// failed. A refusal by the engine or a refused value rolls the whole unit back and gives
// failed, so that a set is stored whole or not at all.
template <class Write>
auto InOneUnit(Database& db, decltype(std::declval<Write>()()) failed, Write write) {
    try {
        Transaction unit(db);
        auto result = write();
        if (result != failed) unit.Commit();
        return result;
    } catch (const DatabaseError&) {
        return failed;
    } catch (const InvalidValue&) {
        return failed;
    }
}

// Keys are ints throughout the program.
int NewIntKey(Statement& insert) {
    const std::int64_t key = NewKey(insert);
    if (key < 1 || key > std::numeric_limits<int>::max()) {
        throw DatabaseError("the new key " + std::to_string(key) + " is out of range");
    }
    return static_cast<int>(key);
}

int InsertEstimatesSet(Database& db, int dataSetId, int modelId, int rangeId,
                       int inferenceMethodId) {
    Statement insert = PrepareStoredInsertReturningKey(db, "InsertEstimatesSet");
    insert.Bind("EDataSet", Long(dataSetId));
    insert.Bind("EModel", Long(modelId));
    insert.Bind("ERange", Long(rangeId));
    insert.Bind("EInferenceMethod", Long(inferenceMethodId));
    return NewIntKey(insert);
}

int InsertPredictionsSet(Database& db, int estimatesSetId, int recalibrationMethodId) {
    Statement insert = PrepareStoredInsertReturningKey(db, "InsertPredictionsSet");
    insert.Bind("PEstimatesSet", Long(estimatesSetId));
    insert.Bind("PRecalibrationMethod", Long(recalibrationMethodId));
    return NewIntKey(insert);
}

void CheckEstimates(int first, int last, const EstimatesArray& estimates) {
    if (first > last) return;
    if (first < 0 || static_cast<std::size_t>(last) >= estimates.size()) throw InvalidValue{};
    for (int i = first; i <= last; ++i) {
        const EstimateRecord& e = estimates[i];
        for (double value : {e.param1, e.param2, e.param3, e.logLhd, e.pdf, e.cdf, e.lowQ, e.median,
                             e.uppQ, e.mttf})
            Finite(value);
    }
}

// Writes rows the caller has checked with CheckEstimates.
void WriteEstimates(Database& db, int setId, int first, int last, const EstimatesArray& estimates) {
    BatchInsert insert(db, StoredQuerySql("InsertEstimates"));
    for (int i = first; i <= last; ++i) {
        const EstimateRecord& e = estimates[i];
        insert.Set("ESetID", Long(setId));
        insert.Set("Index", Long(i));
        insert.Set("Param1", e.param1);
        insert.Set("Param2", e.param2);
        insert.Set("Param3", e.param3);
        insert.Set("LogLhd", e.logLhd);
        insert.Set("Pdf", e.pdf);
        insert.Set("Cdf", e.cdf);
        insert.Set("LowQ", e.lowQ);
        insert.Set("Median", e.median);
        insert.Set("UppQ", e.uppQ);
        insert.Set("MTTF", e.mttf);
        insert.EndRow();
    }
    insert.Finish();
}

struct PredictionArrays {
    const std::vector<double>& cdf;
    const std::vector<double>& pdf;
    const std::vector<double>& lowQ;
    const std::vector<double>& median;
    const std::vector<double>& uppQ;
};

void CheckPredictions(int base, int stop, int offset, const PredictionArrays& arrays) {
    const int from = base + offset;
    if (from > stop - 1) return;
    // Element k - base + 1 runs from offset + 1 to stop - base.
    if (offset < 0) throw InvalidValue{};
    const std::size_t needed = static_cast<std::size_t>(stop - base) + 1;
    for (const auto* array :
         {&arrays.cdf, &arrays.pdf, &arrays.lowQ, &arrays.median, &arrays.uppQ}) {
        if (array->size() < needed) throw InvalidValue{};
        for (int k = from; k < stop; ++k) Finite((*array)[k - base + 1]);
    }
}

// Writes rows the caller has checked with CheckPredictions.
void WritePredictions(Database& db, int setId, int base, int stop, int offset,
                      const PredictionArrays& arrays) {
    BatchInsert insert(db, StoredQuerySql("InsertPredictions"));
    for (int k = base + offset; k < stop; ++k) {
        const std::size_t j = static_cast<std::size_t>(k - base + 1);
        insert.Set("PSetID", Long(setId));
        insert.Set("Index", Long(k));
        insert.Set("Pdf", arrays.pdf[j]);
        insert.Set("Cdf", arrays.cdf[j]);
        insert.Set("LowQ", arrays.lowQ[j]);
        insert.Set("Median", arrays.median[j]);
        insert.Set("UppQ", arrays.uppQ[j]);
        insert.EndRow();
    }
    insert.Finish();
}

}  // namespace

int InsertDataSet(Database& db, const std::string& dataName, const std::string& dataFile,
                  int dataTypeId, int dataNumber, const std::string& dataSource) {
    try {
        Statement insert = PrepareStoredInsertReturningKey(db, "InsertDataSet");
        insert.Bind("DName", dataName);
        insert.Bind("DFile", dataFile);
        insert.Bind("DTypeID", Long(dataTypeId));
        insert.Bind("DNumber", Long(dataNumber));
        insert.Bind("Source", dataSource);
        return NewIntKey(insert);
    } catch (const DatabaseError&) {
        return 0;
    }
}

bool InsertFailureTimes(Database& db, const std::vector<double>& data, int dataTypeId,
                        const std::string& dataName) {
    if (dataTypeId != 1 && dataTypeId != 2) return false;
    return InOneUnit(db, false, [&] {
        for (double value : data) Finite(value);
        const int dataSetId = DataSetKey(db, dataName);
        if (dataSetId == 0) return false;
        BatchInsert insert(db, StoredQuerySql("InsertFailureTimes"));
        const int dataSetColumn = insert.Column("DataSet");
        const int indexColumn = insert.Column("Index");
        const int interfailureColumn = insert.Column("InterFailure");
        const int cumulativeColumn = insert.Column("Cumulative");
        double sum = 0.0;
        for (std::size_t i = 0; i < data.size(); ++i) {
            double interfailure = data[i];
            double cumulative = data[i];
            if (dataTypeId == 1) {
                sum += data[i];
                cumulative = sum;
            } else if (i > 0) {
                interfailure = data[i] - data[i - 1];
            }
            insert.Set(dataSetColumn, Long(dataSetId));
            insert.Set(indexColumn, Long(static_cast<std::int64_t>(i) + 1));
            insert.Set(interfailureColumn, Finite(interfailure));
            insert.Set(cumulativeColumn, Finite(cumulative));
            insert.EndRow();
        }
        insert.Finish();
        return true;
    });
}

bool AppendFailureTimes(Database& db, int dataSetId, int first, const FailureSeries& x,
                        const FailureSeries& t) {
    if (first < 1 || x.size() != t.size() || static_cast<std::size_t>(first) >= x.size()) {
        return false;
    }
    return InOneUnit(db, false, [&] {
        BatchInsert insert(db, StoredQuerySql("InsertFailureTimes"));
        for (std::size_t i = static_cast<std::size_t>(first); i < x.size(); ++i) {
            insert.Set("DataSet", Long(dataSetId));
            insert.Set("Index", Long(static_cast<std::int64_t>(i)));
            insert.Set("InterFailure", Finite(x[i]));
            insert.Set("Cumulative", Finite(t[i]));
            insert.EndRow();
        }
        insert.Finish();
        Statement count = db.Prepare("UPDATE DataSets SET DataNumber = ? WHERE DataSetID = ?;");
        count.Bind(1, Long(static_cast<std::int64_t>(x.size()) - 1));
        count.Bind(2, Long(dataSetId));
        count.Run();
        return true;
    });
}

int StoreEstimatesSet(Database& db, int dataSetId, int modelId, int rangeId, int inferenceMethodId,
                      int first, int last, const EstimatesArray& estimates) {
    return InOneUnit(db, 0, [&] {
        // Refused values take no key: a server never hands out a key again, even when the row
        // that took it is rolled back.
        CheckEstimates(first, last, estimates);
        const int setId = InsertEstimatesSet(db, dataSetId, modelId, rangeId, inferenceMethodId);
        WriteEstimates(db, setId, first, last, estimates);
        return setId;
    });
}

int StorePredictionsSet(Database& db, int estimatesSetId, int recalibrationMethodId, int base,
                        int stop, int offset, const std::vector<double>& cdf,
                        const std::vector<double>& pdf, const std::vector<double>& lowQ,
                        const std::vector<double>& median, const std::vector<double>& uppQ) {
    return InOneUnit(db, 0, [&] {
        const PredictionArrays arrays{cdf, pdf, lowQ, median, uppQ};
        CheckPredictions(base, stop, offset, arrays);
        const int setId = InsertPredictionsSet(db, estimatesSetId, recalibrationMethodId);
        WritePredictions(db, setId, base, stop, offset, arrays);
        return setId;
    });
}

bool ReplaceEstimatesFrom(Database& db, int estimatesSetId, int first, int last,
                          const EstimatesArray& estimates) {
    return InOneUnit(db, false, [&] {
        CheckEstimates(first, last, estimates);
        Statement erase =
            db.Prepare("DELETE FROM Estimates WHERE EstimatesSetID = ? AND FailureIndex >= ?;");
        erase.Bind(1, Long(estimatesSetId));
        erase.Bind(2, Long(first));
        erase.Run();
        WriteEstimates(db, estimatesSetId, first, last, estimates);
        return true;
    });
}

bool ReplacePredictions(Database& db, int predictionsSetId, int base, int stop, int offset,
                        const std::vector<double>& cdf, const std::vector<double>& pdf,
                        const std::vector<double>& lowQ, const std::vector<double>& median,
                        const std::vector<double>& uppQ) {
    return InOneUnit(db, false, [&] {
        const PredictionArrays arrays{cdf, pdf, lowQ, median, uppQ};
        CheckPredictions(base, stop, offset, arrays);
        Statement erase = db.Prepare("DELETE FROM Predictions WHERE PredictionsSetID = ?;");
        erase.Bind(1, Long(predictionsSetId));
        erase.Run();
        WritePredictions(db, predictionsSetId, base, stop, offset, arrays);
        return true;
    });
}

int FindOrCreateRange(Database& db, int rangeTypeId, int start, std::optional<int> end) {
    if (start < 1 || (end && *end < start)) return 0;
    const DbValue endValue = end ? Long(*end) : DbValue{};
    try {
        Transaction unit(db);
        int rangeId = 0;
        {
            Statement find = db.Prepare(
                "SELECT COALESCE(MIN(RangeID), 0) FROM Ranges WHERE RangeTypeID = :type AND "
                "RangeStart = :start AND RangeEnd IS NOT DISTINCT FROM :end;");
            find.Bind("type", Long(rangeTypeId));
            find.Bind("start", Long(start));
            find.Bind("end", endValue);
            if (find.Step()) rangeId = static_cast<int>(find.ColumnInt(0));
        }
        if (rangeId == 0) {
            Statement insert = PrepareStoredInsertReturningKey(db, "InsertRange");
            insert.Bind("RType", Long(rangeTypeId));
            insert.Bind("RStart", Long(start));
            insert.Bind("REnd", endValue);
            rangeId = NewIntKey(insert);
        }
        unit.Commit();
        return rangeId;
    } catch (const DatabaseError&) {
        return 0;
    }
}

bool DeleteDataSet(Database& db, const std::string& dataName, const std::atomic<bool>* cancel) {
    try {
        Transaction unit(db);
        DbValue dataSetId;
        {
            Statement find = db.Prepare("SELECT DataSetID FROM DataSets WHERE DataName = ?;");
            find.Bind(1, dataName);
            if (find.Step()) dataSetId = find.Column(0);
        }
        if (IsNull(dataSetId)) {
            ShowMessage("There is no dataset named \"" + dataName + "\".");
            return false;
        }
        {
            const CancelWatch watch(db, cancel);
            Statement erase = db.Prepare("DELETE FROM DataSets WHERE DataSetID = ?;");
            erase.Bind(1, dataSetId);
            erase.Run();
        }
        unit.Commit();
        return true;
    } catch (const DatabaseError& error) {
        if (cancel && cancel->load()) {
            ShowMessage("The deletion was cancelled by user action", MessageIcon::Information);
            return false;
        }
        ShowMessage(FailureText(error, kDeleteFailure));
        return false;
    }
}

}  // namespace tamsel
