#include "tamsel/support/selection.h"

namespace tamsel {

void CurrentSelection::ClearEstimatesSet() {
    estimatesSetId = 0;
    modelName.clear();
    rangeStart = 0;
    rangeEnd = 0;
    setSize = 0;
    inferenceMethodName.clear();
    recalibrated = false;
    predictionsSetId = 0;
    recalibrationMethodName.clear();
}

void CurrentSelection::ClearDataSet() {
    dataSetName.clear();
    ClearEstimatesSet();
}

}  // namespace tamsel
