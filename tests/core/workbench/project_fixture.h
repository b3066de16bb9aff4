// A project file with datasets, estimates sets and predictions sets whose rows the test
// chooses, stored through the writers, for the tests of the plots, tables and predictions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tamsel/records/records.h"
#include "tamsel/store/database.h"
#include "tamsel/support/selection.h"
#include "test_support.h"

namespace tamsel::test {

// One stored prediction row: failure index, Cdf, Pdf and Median (the other fields are
// recognisable fillers).
struct RowSpec {
    int index = 0;
    double cdf = 0.0;
    double pdf = 0.0;
    double median = 0.0;
};

class ProjectFile {
  public:
    ProjectFile();
    Database& Db() { return *m_db; }
    const TempDir& Dir() const { return m_dir; }

    // Stores a dataset of interfailure times and returns its key.
    int AddDataSet(const std::string& name, const std::vector<double>& interfailureTimes);
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

  private:
    TempDir m_dir;
    std::unique_ptr<Database> m_db;
};

// Rows first..last with Cdf from cdf(i), Pdf from pdf(i) and Median i * 10.
template <typename Cdf, typename Pdf>
std::vector<RowSpec> Rows(int first, int last, Cdf cdf, Pdf pdf) {
    std::vector<RowSpec> rows;
    for (int i = first; i <= last; ++i) rows.push_back({i, cdf(i), pdf(i), i * 10.0});
    return rows;
}

// The selection of a raw set (or, with predictionsSetId, of its recalibrated set) of the
// dataset dataName with DataNumber setSize.
CurrentSelection SelectionOf(const std::string& dataName, int estimatesSetId, int rangeStart,
                             int setSize, int predictionsSetId = 0);

}  // namespace tamsel::test
