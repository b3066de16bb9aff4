// What a model says about the failure process beyond the next interfailure time, at a stored
// fit: the current failure intensity, the expected failures and faults to come, and how much
// more testing brings the intensity down to a target. Each model answers in its own file;
// docs/models.md derives every formula.
#pragma once

#include <optional>

#include "tamsel/models/predictive.h"

namespace tamsel {

// How far the failure intensity is from a target.
struct TargetReach {
    enum class Status {
        Reached,  // the intensity at failure n is at or below the target
        After,    // the model reaches it after more testing: time (and fixes) below
        Never,    // the model's intensity never falls to the target
    };
    Status status = Status::Reached;
    // For After: the expected further test time from failure n, +infinity when that
    // expectation is infinite although the target is reached with certainty.
    double time = 0.0;
    // For After, in models whose intensity drops only when a failure is fixed (JM, LV, KL): the
    // further failures (fixes) needed.
    std::optional<double> fixes;
};

struct FailureProcess {
    // The failure intensity just after failure n, at time T: the hazard of the next
    // interfailure time at 0 (0 for a fit in which every fault is found).
    double (*intensity)(const StoredFit& fit);
    // The expected number of failures in (T, T + t] for t >= 0; null for models that do not
    // define a failure count beyond the next failure (LV, KL).
    double (*expectedFailures)(const StoredFit& fit, double t);
    // The expected number of faults not yet found, nothing when it is unbounded; null for models
    // without a finite fault content (Du, MO, LV, KL).
    std::optional<double> (*faultsRemaining)(const StoredFit& fit);
    // Where the intensity falls to targetIntensity > 0.
    TargetReach (*reach)(const StoredFit& fit, double targetIntensity);
    // The probability of no failure in (T, T + t] for t >= 0.
    double (*reliability)(const StoredFit& fit, double t);
};

}  // namespace tamsel
