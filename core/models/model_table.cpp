#include "tamsel/models/model_table.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "tamsel/models/du_model.h"
#include "tamsel/models/go_model.h"
#include "tamsel/models/jm_model.h"
#include "tamsel/models/kl_model.h"
#include "tamsel/models/li_model.h"
#include "tamsel/models/lnhpp_model.h"
#include "tamsel/models/lv_model.h"
#include "tamsel/models/mo_model.h"

namespace tamsel {
namespace {

IndexFit PrepareDuWith(const FailureSeries& x, const FailureSeries& t, std::int32_t rangeEnd,
                       const MinimisationSettings&) {
    return PrepareDu(x, t, rangeEnd);
}

IndexFit PrepareLVWith(const FailureSeries& x, const FailureSeries&, std::int32_t rangeEnd,
                       const MinimisationSettings& settings) {
    return PrepareLV(x, rangeEnd, settings);
}

IndexFit PrepareKLWith(const FailureSeries& x, const FailureSeries&, std::int32_t rangeEnd,
                       const MinimisationSettings& settings) {
    return PrepareKL(x, rangeEnd, settings);
}

constexpr std::array<ModelInfo, 8> kModels{{
    {1,
     "JM",
     "Jelinski-Moranda",
     {"N", "Lambda", ""},
     Minimiser::OneDimensional,
     1,
     &EstimateJM,
     &PrepareJM,
     false,
     &kPredictiveJM,
     &kProcessJM},
    {2,
     "Du",
     "Duane",
     {"Beta", "Alpha", ""},
     Minimiser::ClosedForm,
     2,
     &EstimateDu,
     &PrepareDuWith,
     true,
     &kPredictiveDu,
     &kProcessDu},
    {3,
     "MO",
     "Musa-Okumoto",
     {"Beta", "Epsilon", ""},
     Minimiser::OneDimensional,
     1,
     &EstimateMO,
     &PrepareMO,
     true,
     &kPredictiveMO,
     &kProcessMO},
    {4,
     "GO",
     "Goel-Okumoto",
     {"Mu", "Phi", ""},
     Minimiser::OneDimensional,
     1,
     &EstimateGO,
     &PrepareGO,
     true,
     &kPredictiveGO,
     &kProcessGO},
    {5,
     "Li",
     "Littlewood",
     {"N", "Alpha", "Beta"},
     Minimiser::MultiDimensional,
     1,
     &EstimateLi,
     &PrepareLi,
     true,
     &kPredictiveLi,
     &kProcessLi},
    {6,
     "LNHPP",
     "Littlewood NHPP",
     {"Mu", "Alpha", "Beta"},
     Minimiser::MultiDimensional,
     1,
     &EstimateLNHPP,
     &PrepareLNHPP,
     true,
     &kPredictiveLNHPP,
     &kProcessLNHPP},
    {7,
     "LV",
     "Littlewood-Verrall",
     {"Alpha", "Beta1", "Beta2"},
     Minimiser::MultiDimensional,
     2,
     &EstimateLV,
     &PrepareLVWith,
     false,
     &kPredictiveLV,
     &kProcessLV},
    {8,
     "KL",
     "Keiller-Littlewood",
     {"Alpha1", "Alpha2", "Beta"},
     Minimiser::MultiDimensional,
     2,
     &EstimateKL,
     &PrepareKLWith,
     false,
     &kPredictiveKL,
     &kProcessKL},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::span<const ModelInfo> ModelTable() { return kModels; }

const ModelInfo* FindModel(int number) {
    if (number < 1 || number > static_cast<int>(kModels.size())) return nullptr;
    return &kModels[static_cast<std::size_t>(number - 1)];
}

const ModelInfo* FindModel(std::string_view text) {
    for (const ModelInfo& model : kModels) {
        if (EqualNoCase(text, model.code) || text == std::to_string(model.number)) return &model;
    }
    return nullptr;
}

}  // namespace tamsel
