#include "project_fixture.h"

#include <stdexcept>

#include "tamsel/store/own_tables.h"
#include "tamsel/store/writers.h"

namespace tamsel::test {

ProjectFile::ProjectFile() { EnsureOwnTables(Db()); }

int ProjectFile::AddEstimatesSet(int dataSetId, int modelId, int rangeStart, int first, int last,
                                 const EstimatesArray& records) {
    const int rangeId = FindOrCreateRange(Db(), 1, rangeStart, std::nullopt);
    const int id = StoreEstimatesSet(Db(), dataSetId, modelId, rangeId, 1, first, last, records);
    if (id == 0) throw std::runtime_error("cannot store an estimates set");
    return id;
}

int ProjectFile::AddEstimatesSet(int dataSetId, int modelId, int rangeStart,
                                 const std::vector<RowSpec>& rows) {
    EstimatesArray records(static_cast<std::size_t>(rows.back().index) + 1);
    for (const RowSpec& row : rows) {
        EstimateRecord& record = records[static_cast<std::size_t>(row.index)];
        record.param1 = row.index + 0.01;
        record.param2 = row.index + 0.02;
        record.param3 = row.index + 0.03;
        record.logLhd = -row.index;
        record.pdf = row.pdf;
        record.cdf = row.cdf;
        record.lowQ = row.median / 2;
        record.median = row.median;
        record.uppQ = row.median * 2;
        record.mttf = row.median * 1.5;
    }
    return AddEstimatesSet(dataSetId, modelId, rangeStart, rows.front().index, rows.back().index,
                           records);
}

int ProjectFile::AddPredictionsSet(int estimatesSetId, const std::vector<RowSpec>& rows) {
    // Element k - base + 1 of each array belongs to failure index k; base is the first index.
    const int base = rows.front().index;
    std::vector<double> cdf{0.0}, pdf{0.0}, lowQ{0.0}, median{0.0}, uppQ{0.0};
    for (const RowSpec& row : rows) {
        cdf.push_back(row.cdf);
        pdf.push_back(row.pdf);
        lowQ.push_back(row.median / 2);
        median.push_back(row.median);
        uppQ.push_back(row.median * 2);
    }
    const int id = StorePredictionsSet(Db(), estimatesSetId, 1, base, rows.back().index + 1, 0, cdf,
                                       pdf, lowQ, median, uppQ);
    if (id == 0) throw std::runtime_error("cannot store a predictions set");
    return id;
}

std::vector<std::pair<int, EstimateRecord>> ProjectFile::StoredRows(int setId) {
    Statement rows = Db().Prepare(
        "SELECT FailureIndex, Parameter1, Parameter2, Parameter3, LogLikelihood, Pdf, Cdf, "
        "LowQ, Median, UppQ, MTTF FROM Estimates WHERE EstimatesSetID = :set "
        "ORDER BY FailureIndex;");
    rows.Bind("set", std::int64_t{setId});
    std::vector<std::pair<int, EstimateRecord>> result;
    while (rows.Step()) {
        EstimateRecord r;
        double* fields[] = {&r.param1, &r.param2, &r.param3, &r.logLhd, &r.pdf,
                            &r.cdf,    &r.lowQ,   &r.median, &r.uppQ,   &r.mttf};
        for (int k = 0; k < 10; ++k) {
            EXPECT_FALSE(rows.ColumnIsNull(k + 1));
            *fields[k] = rows.ColumnDouble(k + 1);
        }
        result.emplace_back(static_cast<int>(rows.ColumnInt(0)), r);
    }
    return result;
}

CurrentSelection SelectionOf(const std::string& dataName, int estimatesSetId, int rangeStart,
                             int setSize, int predictionsSetId) {
    CurrentSelection selection;
    selection.dataSetName = dataName;
    selection.estimatesSetId = estimatesSetId;
    selection.modelName = "Jelinski-Moranda";
    selection.rangeStart = rangeStart;
    selection.rangeEnd = setSize;
    selection.setSize = setSize;
    selection.inferenceMethodName = "Maximum Likelihood";
    selection.recalibrated = predictionsSetId != 0;
    selection.predictionsSetId = predictionsSetId;
    selection.recalibrationMethodName =
        predictionsSetId != 0 ? "Parametric B-Splines Recalibration" : "";
    return selection;
}

}  // namespace tamsel::test
