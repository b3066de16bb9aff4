#include "tamsel/measures/model_styles.h"

#include <gtest/gtest.h>

#include <vector>

#include "tamsel/models/model_table.h"

namespace tamsel {
namespace {

TEST(ModelStyles, EveryModelHasItsOwnColourAndMoStandsApartFromLnhpp) {
    std::vector<Rgb> colours;
    for (const ModelInfo& model : ModelTable()) {
        const ModelStyle* style = FindModelStyle(model.code);
        ASSERT_NE(style, nullptr) << model.code;
        EXPECT_NE(style->marker, MarkerShape::None) << model.code;
        for (const Rgb& other : colours) EXPECT_NE(style->colour, other) << model.code;
        colours.push_back(style->colour);
    }
    EXPECT_NE(FindModelStyle("MO")->marker, FindModelStyle("LNHPP")->marker);
    EXPECT_NE(FindModelStyle("MO")->order, FindModelStyle("LNHPP")->order);
    EXPECT_EQ(FindModelStyle("JM#"), nullptr);
    EXPECT_EQ(FindModelStyle(""), nullptr);
}

}  // namespace
}  // namespace tamsel
