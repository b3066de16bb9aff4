// A project file with datasets, estimates sets and predictions sets whose rows the test
// chooses, stored through the writers, for the tests of the workbench.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store_fixture.h"
#include "tamsel/support/selection.h"

namespace tamsel::test {

// One stored prediction row: failure index, Cdf, Pdf and Median (the other fields are
// recognisable fillers).
struct RowSpec {
    int index = 0;
    double cdf = 0.0;
    double pdf = 0.0;
    double median = 0.0;
};

// A fresh project file with Tamsel's own tables, as opening a file leaves it.
class ProjectFile : public FreshDatabase {
  public:
    ProjectFile();
    // Stores a dataset of interfailure times and returns its key.
    int AddDataSet(const std::string& name, const std::vector<double>& interfailureTimes) {
        return test::AddDataSet(Db(), name, interfailureTimes);
    }
    // Stores a shipped data file as a dataset named after it.
    int AddDataFile(const std::string& file) { return AddDataSet(file, ReadDataValues(file)); }
    // Stores an estimates set of model modelId over rangeStart.. (no end) whose rows are
    // records[first..last] (failure-indexed) and returns its key.
    int AddEstimatesSet(int dataSetId, int modelId, int rangeStart, int first, int last,
                        const EstimatesArray& records);
    // The same with rows given by their Cdf, Pdf and Median.
    int AddEstimatesSet(int dataSetId, int modelId, int rangeStart,
                        const std::vector<RowSpec>& rows);
    // Stores a predictions set of estimatesSetId (recalibration method 1) with these rows, which
    // must have consecutive indices, and returns its key.
    int AddPredictionsSet(int estimatesSetId, const std::vector<RowSpec>& rows);
    // The stored estimates of a set with their failure indices, in order; none may be Null.
    std::vector<std::pair<int, EstimateRecord>> StoredRows(int setId);
};

// Rows first..last with Cdf from cdf(i), Pdf from pdf(i) and Median i * 10.
template <typename Cdf, typename Pdf>
std::vector<RowSpec> RowSpecs(int first, int last, Cdf cdf, Pdf pdf) {
    std::vector<RowSpec> rows;
    for (int i = first; i <= last; ++i) rows.push_back({i, cdf(i), pdf(i), i * 10.0});
    return rows;
}

// The selection of a raw set (or, with predictionsSetId, of its recalibrated set) of the
// dataset dataName with DataNumber setSize.
CurrentSelection SelectionOf(const std::string& dataName, int estimatesSetId, int rangeStart,
                             int setSize, int predictionsSetId = 0);

}  // namespace tamsel::test
