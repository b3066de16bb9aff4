#include "tamsel/measures/model_styles.h"

#include <array>

namespace tamsel {
namespace {

// Colours that stay apart on white paper and for the common colour-vision deficiencies.
// The shapes repeat only between models whose colours differ most (JM and LV, Du and KL);
// MO and LNHPP, whose fits often coincide, differ in both.
constexpr std::array<ModelStyle, 8> kModelStyles = {{
    {"JM", {0, 114, 178}, MarkerShape::Circle, 0},
    {"Du", {213, 94, 0}, MarkerShape::Square, 1},
    {"MO", {0, 158, 115}, MarkerShape::Triangle, 2},
    {"GO", {204, 121, 167}, MarkerShape::Diamond, 3},
    {"Li", {230, 159, 0}, MarkerShape::Star, 4},
    {"LNHPP", {86, 180, 233}, MarkerShape::Pentagon, 5},
    {"LV", {140, 86, 75}, MarkerShape::Circle, 6},
    {"KL", {148, 103, 189}, MarkerShape::Square, 7},
}};

}  // namespace

const ModelStyle* FindModelStyle(std::string_view code) {
    for (const ModelStyle& style : kModelStyles) {
        if (style.code == code) return &style;
    }
    return nullptr;
}

}  // namespace tamsel
