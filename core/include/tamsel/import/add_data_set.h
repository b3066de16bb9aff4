// Adding a dataset from a data file: name check, reading, validation, choice of the data
// type and storing, with every outcome reported through the message sink.
#pragma once

#include <optional>
#include <string>

#include <vector>

#include "tamsel/import/data_file.h"
#include "tamsel/import/table_reader.h"
#include "tamsel/store/database.h"

namespace tamsel {

// How the numbers of the file are to be read.
enum class DataTypeChoice { Automatic, Interfailure, Cumulative };

struct AddDataSetRequest {
    std::string name;      // blanks around it are dropped before it is checked and stored
    std::string fileName;  // stored as the dataset's DataFile
    DataTypeChoice choice = DataTypeChoice::Automatic;
    std::string source = "Unknown source";
    // How to read the file; a time base is kept with the dataset. Its cancel flag stops the
    // storing too.
    TableOptions table = {};
};

// Datasets with fewer failures than this are stored with a warning: models are applied from
// failure 20 by default.
inline constexpr int kFewFailures = 20;

// What was stored.
struct AddedDataSet {
    std::string name;  // as stored: without surrounding blanks
    DataType dataType = DataType::Interfailure;
    int failureCount = 0;
    std::vector<std::string> notes;  // how the file was read, when worth telling
};

// Drops blanks (spaces, tabs, line ends) around a dataset name.
std::string TrimDataName(const std::string& name);

// True when name without its surrounding blanks is not empty and no dataset of exactly that
// name exists; otherwise false after a message.
bool CheckDataName(Database& db, const std::string& name);

// The whole import: checks the trimmed name before the file is read, reads and validates the
// file, decides the data type (asking or warning when the choice disagrees with the data),
// and stores the dataset row, its failure times and, for date-times, their time base as one
// unit (the source note names the time base too). A set cancel flag stops the reading or the
// storing with "The import was cancelled by user action". Returns nothing after a message;
// nothing of the dataset is then left in db. A dataset of fewer than kFewFailures failures
// is stored with an information message on choosing a range.
std::optional<AddedDataSet> AddDataSetFromFile(Database& db, const AddDataSetRequest& request);

}  // namespace tamsel
