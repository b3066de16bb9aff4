#include "tamsel/support/messages.h"

#include <gtest/gtest.h>

#include "tamsel/support/selection.h"

namespace tamsel {
namespace {

TEST(Messages, WithoutSinkQuestionsGetTheCautiousAnswer) {
    MessageSink* previous = InstallMessageSink(nullptr);
    EXPECT_EQ(Ask("q", MessageButtons::YesNo, MessageIcon::Question), MessageAnswer::No);
    EXPECT_EQ(Ask("q", MessageButtons::OkCancel, MessageIcon::None), MessageAnswer::Cancel);
    InstallMessageSink(previous);
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
