// Adding failures to a dataset, and extending the sets whose range runs to its last failure:
// only the new failure indices are fitted, since the fit at an index uses only the failures up
// to it.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tamsel/import/add_data_set.h"
#include "tamsel/import/table_reader.h"
#include "tamsel/models/prequential.h"
#include "tamsel/records/progress.h"
#include "tamsel/store/database.h"

namespace tamsel {

struct ExtendResult {
    enum class Outcome {
        Stored,     // the failures and every extended set are stored (perhaps none needed it)
        Cancelled,  // the user cancelled; nothing stored
        Refused,    // the file or the dataset does not allow it; nothing read or fitted further
        Failed,     // a fit failed, or the file could not be read or written; nothing stored
    };
    Outcome outcome = Outcome::Failed;
    int failuresAdded = 0;
    int failureCount = 0;           // the dataset's failures afterwards, when Stored
    std::vector<int> extendedSets;  // the estimates sets extended, oldest first
    int recalibrationsRefitted = 0;
    // The message shown; empty when Stored, and when a lookup of the store showed its own.
    std::string message;
};

// Told as the fits of each set to be extended begin: the model's name, the set's number from 1
// and how many sets are extended.
using SetStarted = std::function<void(std::string_view model, int number, int count)>;

struct AppendRequest {
    std::string name;      // the dataset; blanks around it are dropped
    std::string fileName;  // the failures to add, read as the import reads a data file
    // Automatic: the dataset's own data type. The other type is refused: a dataset holds one.
    DataTypeChoice choice = DataTypeChoice::Automatic;
    // How to read the file. A dataset read from date-times reads them from its kept origin,
    // time zone and unit, whatever the options say; others read numbers only.
    TableOptions table = {};
};

// Adds the failures of the file after the last failure of the dataset (cumulative times
// continue from it; cumulative times in the file must not fall below it), with the import's
// limits and messages applied to the whole series, and extends every set whose range runs to
// the last failure (see ExtendSets). The failures, the extended rows and the refitted
// recalibrations are stored in one transaction: a cancel or a failure leaves the file as it
// was. A read-only file is refused before the data file is read.
ExtendResult AppendFailures(Database& db, const AppendRequest& request, const RunControl& control,
                            int threads = kHardwareThreads, const SetStarted& started = {});

// Extends each estimates set of the dataset whose range runs to the last failure (no stated
// end) but whose rows stop short of it, for the models numbered in models (every model when
// empty): the fits at the set's last row (whose Pdf and Cdf wanted a next failure) and at every
// later index are stored, and each recalibration of the set is computed again over its whole
// range. The rows are those a fresh set would hold, to the bit. Sets whose range has a stated
// end are left as they are. All in one transaction, with the checks inside it; a set changed
// by another program meanwhile refuses the whole with nothing stored.
ExtendResult ExtendSets(Database& db, int dataSetId, std::span<const int> models,
                        const RunControl& control, int threads = kHardwareThreads,
                        const SetStarted& started = {});

}  // namespace tamsel
