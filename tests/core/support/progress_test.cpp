#include "tamsel/support/progress.h"

#include <gtest/gtest.h>

#include "tamsel/support/selection.h"
#include "test_support.h"

namespace tamsel {
namespace {

TEST(Progress, StepsStopReachingTheSinkOnceCancelled) {
    test::CancellingProgress sink(3);
    RunControl control = sink.Control();
    control.StartProgress(1, 5);
    for (int i = 1; i <= 5; ++i) control.StepProgress(i);
    control.EndProgress();
    EXPECT_EQ(sink.Steps(), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(control.CancelRequested());
    EXPECT_EQ(sink.Minimum(), 1);
    EXPECT_EQ(sink.Maximum(), 5);
    EXPECT_EQ(sink.Ends(), 1);
    control.ClearCancel();
    EXPECT_FALSE(control.CancelRequested());
}

TEST(Progress, DefaultControlIsSilentAndNeverCancelled) {
    RunControl control;
    control.StartProgress(1, 2);
    control.StepProgress(1);
    control.RequestCancel();
    EXPECT_FALSE(control.CancelRequested());
}

TEST(CurrentSelection, ClearingTheDataSetForgetsEverythingBelowIt) {
    CurrentSelection selection;
    selection.databaseFileName = "x.db";
    selection.dataSetName = "SYS1";
    selection.estimatesSetId = 4;
    selection.recalibrated = true;
    selection.predictionsSetId = 2;
    selection.ClearEstimatesSet();
    EXPECT_EQ(selection.dataSetName, "SYS1");
    EXPECT_EQ(selection.estimatesSetId, 0);
    EXPECT_FALSE(selection.recalibrated);
    EXPECT_EQ(selection.predictionsSetId, 0);
    selection.estimatesSetId = 4;
    selection.ClearDataSet();
    EXPECT_EQ(selection.databaseFileName, "x.db");
    EXPECT_TRUE(selection.dataSetName.empty());
    EXPECT_EQ(selection.estimatesSetId, 0);
}

}  // namespace
}  // namespace tamsel
