// The current selection: what the user is working on. One instance, owned by the main
// window (or by a command of the command-line tool); everything else reads it.
#pragma once

#include <string>

namespace tamsel {

struct CurrentSelection {
    std::string databaseFileName;  // empty when no database is open
    std::string dataSetName;       // DataName of the current dataset, empty when none
    // EstimatesSetID of the current set; for a recalibrated set, the set it was made from.
    int estimatesSetId = 0;
    std::string modelName;
    int rangeStart = 0;
    int rangeEnd = 0;  // the dataset's DataNumber when the range has no end
    int setSize = 0;   // DataNumber of the dataset
    std::string inferenceMethodName;
    bool recalibrated = false;
    int predictionsSetId = 0;  // 0 when no recalibrated set is current
    std::string recalibrationMethodName;

    // Forgets the estimates and predictions sets, keeping database and dataset.
    void ClearEstimatesSet();
    // Forgets the dataset and everything below it.
    void ClearDataSet();
    // Forgets everything.
    void Clear() { *this = CurrentSelection{}; }
};

}  // namespace tamsel
