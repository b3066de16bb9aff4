// Feeds whole project files (mutated SQLite images) to the workbench: opening, listing the
// datasets and sets, reading every set's columns and the whole-file check must never crash,
// and no number shown or message told may be NaN.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "tamsel/store/checks.h"
#include "tamsel/store/queries.h"
#include "tamsel/workbench/project.h"
#include "tamsel/workbench/set_lists.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

bool ShowsNaN(const std::string& text) {
    return text.find("nan") != std::string::npos || text.find("NaN") != std::string::npos;
}

class NoNaNSink : public tamsel::MessageSink {
  public:
    tamsel::MessageAnswer Show(const std::string& text, tamsel::MessageButtons,
                               tamsel::MessageIcon) override {
        Check(!ShowsNaN(text));
        return tamsel::MessageAnswer::No;
    }
};

void CheckRows(const std::optional<tamsel::RowSet>& rows) {
    if (!rows) return;
    for (const auto& row : rows->rows) {
        for (const tamsel::DbValue& value : row) {
            if (const auto* d = std::get_if<double>(&value)) Check(!std::isnan(*d));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("tamsel-fuzz-" + std::to_string(::getpid()) + ".db"))
                                        .string();
    static NoNaNSink sink;
    static tamsel::ScopedMessageSink installed(&sink);
    for (const char* suffix : {"-journal", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::unique_ptr<tamsel::Database> db = tamsel::OpenProject(path);
    if (!db) return 0;
    const std::optional<tamsel::RowSet> dataSets = tamsel::DataSetsTable(*db);
    CheckRows(dataSets);
    if (dataSets) {
        for (const auto& row : dataSets->rows) {
            const auto* name = row.size() > 1 ? std::get_if<std::string>(&row[1]) : nullptr;
            if (!name) continue;
            CheckRows(tamsel::SetsTable(*db, *name));
            const auto sets = tamsel::ListEstimatesSets(*db, *name);
            if (!sets) continue;
            for (const tamsel::EstimatesSetInfo& set : *sets) {
                for (const char* field : {"Cdf", "Pdf", "Median"}) {
                    const auto column = tamsel::ReadEstimatesColumn(*db, set.id, field);
                    if (!column) continue;
                    for (double value : *column) Check(std::isfinite(value));
                }
            }
        }
    }
    try {
        for (const std::string& problem : tamsel::FindProblems(*db)) Check(!ShowsNaN(problem));
    } catch (const tamsel::DatabaseError&) {
    }
    return 0;
}
