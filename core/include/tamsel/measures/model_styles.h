// How a model's series look on every chart, in the desktop application and in the
// command-line tool's images alike: one colour and one marker shape per model. A series
// of recalibrated predictions is drawn dashed in its model's colour, a raw one solid.
#pragma once

#include <string_view>

#include "tamsel/measures/chart_description.h"

namespace tamsel {

struct ModelStyle {
    std::string_view code;  // as the model table names it: "JM", "Du", ...
    Rgb colour;
    MarkerShape marker;
    int order = 0;  // 0 to 7; staggers the markers of series that coincide
};

// The style of the model with this code; null for a code that names no model.
const ModelStyle* FindModelStyle(std::string_view code);

}  // namespace tamsel
