// delete-set as a user runs it: it names what goes, asks, and without a terminal deletes only
// when told --yes.
#include <gtest/gtest.h>

#include "cli_run.h"

namespace tamsel {
namespace {

class DeleteSetCommand : public test::CliProject {};

TEST_F(DeleteSetCommand, AsksNamesWhatGoesAndDeletesOnlyWithYes) {
    // Sets 1 (JM) and 2 (MO), p1 made from 1.
    ImportSys1({{"apply", m_db, "SYS1", "JM", "MO"}, {"recalibrate", m_db, "1"}});
    const std::string question =
        "Delete estimates set 1 (Jelinski-Moranda, failures 20 to 136) of dataset SYS1?\n"
        "Its recalibrated sets are deleted with it: p1 (Jelinski-Moranda, Parametric B-Splines "
        "Recalibration).\n";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;
        std::int64_t estimatesSets, predictionsSets;
    };
    const Case cases[] = {
        {{"delete-set", m_db, "1"},
         1,
         question + "> cancel (no terminal to ask: use --yes or --no)\n",
         2,
         1},
        {{"delete-set", m_db, "1", "--no"}, 1, question + "> cancel (--no)\n", 2, 1},
        {{"delete-set", m_db, "p7", "--yes"},
         1,
         "There is no predictions set with the key 7.\n",
         2,
         1},
        {{"delete-set", m_db, "1", "--yes"}, 0, question + "> ok (--yes)\n", 1, 0},
        {{"delete-set", m_db, "1", "--yes"},
         1,
         "There is no estimates set with the key 1.\n",
         1,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2] + (c.args.size() > 3 ? " " + c.args[3] : ""));
        test::ExpectRun(Run(c.args), c.exitCode, "", c.err);
        EXPECT_EQ(Count("EstimatesSets"), c.estimatesSets);
        EXPECT_EQ(Count("PredictionsSets"), c.predictionsSets);
    }
    EXPECT_EQ(Run({"delete-set", m_db, "q1"}).exitCode, 2);
}

}  // namespace
}  // namespace tamsel
