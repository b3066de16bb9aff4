#include "data_commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "model_commands.h"
#include "tamsel/workbench/project_copy.h"
#include "tamsel/workbench/set_lists.h"
#include "tamsel/workbench/table_views.h"

namespace tamsel::cli {
namespace {

namespace fs = std::filesystem;

struct NewOptions {
    std::string db;
    bool force = false;
};

struct CopyOptions {
    std::string source;
    std::string target;
    bool force = false;
};

struct ImportOptions {
    std::string db;
    std::string name;
    std::string file;
    DataTypeChoice choice = DataTypeChoice::Automatic;
    std::string source = "Unknown source";
    AnswerPolicy policy = AnswerPolicy::Ask;
    TableOptions table;
    TimestampOptions timestamps;
    bool readTimestamps = false;
};

struct DataSetOptions {
    std::string db;
    std::string name;
    TableFormat format = TableFormat::Text;
};

// The reading options shared by import and inspect; Complete() applies them after parsing.
void AddReadingOptions(CLI::App& command, TableOptions& table) {
    command.add_option("--column", table.column,
                       "the column of failure times: its header name or its number from 1");
    AddChoiceOption(command, "--delimiter",
                    "comma, semicolon, tab, blanks (runs of spaces and tabs) or pipe (| a | b |); "
                    "detected from "
                    "the first lines by default",
                    table.delimiter,
                    {{"auto", Delimiter::Auto},
                     {"pipe", Delimiter::Pipe},
                     {"comma", Delimiter::Comma},
                     {"semicolon", Delimiter::Semicolon},
                     {"tab", Delimiter::Tab},
                     {"blanks", Delimiter::Blanks}});
    auto* header = command.add_flag_callback(
        "--header", [&table] { table.header = HeaderChoice::Present; },
        "the first line names the columns");
    auto* noHeader = command.add_flag_callback(
        "--no-header", [&table] { table.header = HeaderChoice::Absent; },
        "the first line holds data");
    header->excludes(noHeader);
    auto* comma = command.add_flag("--decimal-comma", table.decimalComma,
                                   "numbers are written with a decimal comma (1,5)");
    command
        .add_flag("--decimal-point", table.decimalPoint,
                  "numbers are written with a decimal point, even in a semicolon-separated file "
                  "(1.234 is one and a bit, not 1234)")
        ->excludes(comma);
}

void AddTableOptions(CLI::App& command, ImportOptions& options) {
    AddReadingOptions(command, options.table);
    auto* timestamps = command.add_flag(
        "--timestamps", options.readTimestamps,
        "the column holds date-times of the failures (YYYY-MM-DD HH:MM[:SS], ISO 8601)");
    command.add_option("--origin", options.timestamps.origin, "the start of testing, a date-time")
        ->needs(timestamps);
    AddChoiceOption(command, "--unit", "seconds, minutes, hours (default) or days",
                    options.timestamps.unit,
                    {{"seconds", TimeUnit::Seconds},
                     {"minutes", TimeUnit::Minutes},
                     {"hours", TimeUnit::Hours},
                     {"days", TimeUnit::Days}});
    command.add_option("--timezone", options.timestamps.timeZone,
                       "the zone of date-times written without one (default UTC), such as "
                       "Europe/Berlin");
}

void AddTypeOption(CLI::App& command, const std::string& help, DataTypeChoice& choice) {
    AddChoiceOption(command, "--type", help, choice,
                    {{"auto", DataTypeChoice::Automatic},
                     {"interfailure", DataTypeChoice::Interfailure},
                     {"cumulative", DataTypeChoice::Cumulative}});
}

void CompleteTableOptions(ImportOptions& options) {
    if (options.readTimestamps) options.table.timestamps = options.timestamps;
}

std::string DataTypeName(DataType type) {
    return type == DataType::Interfailure ? "interfailure" : "cumulative";
}

// How the file reads: the same summary the import preview shows.
void PrintSummary(std::ostream& out, const TableResult& result) {
    const TableSummary& summary = result.summary;
    out << "Delimiter: " << DelimiterName(summary.delimiter) << "\n"
        << "Header line: " << (summary.header ? "yes" : "no") << "\n"
        << "Decimal comma: " << (summary.decimalComma ? "yes" : "no") << "\n";
    if (!summary.columns.empty()) out << "Columns:\n";
    for (std::size_t c = 0; c < summary.columns.size(); ++c) {
        const TableColumn& column = summary.columns[c];
        out << "  " << c + 1 << (column.name.empty() ? "" : " " + column.name) << " ("
            << ColumnTypeName(column.type) << ")"
            << (summary.chosenColumn == c ? "  <- failure times" : "") << "\n";
    }
    if (!summary.firstRows.empty()) out << "First rows:\n";
    for (const auto& row : summary.firstRows) {
        out << " ";
        for (std::size_t c = 0; c < row.size(); ++c) out << (c == 0 ? " " : " | ") << row[c];
        out << "\n";
    }
    for (const std::string& note : summary.notes) out << "Note: " << note << "\n";
    if (!summary.timeBase.empty()) out << "Times in " << summary.timeBase << "\n";
    if (result.refusal) return;
    const AutomaticType automatic = DetectAutomaticType(result.values);
    if (!automatic.note.empty()) out << "Note: " << automatic.note << "\n";
    out << "Values: " << result.values.size() << "\n"
        << "Data type: " << DataTypeName(automatic.type) << " times\n";
}

int RunInspect(const ImportOptions& options) {
    TableResult result = ReadTableFile(options.file, options.table);
    PrintSummary(std::cout, result);
    if (!result.refusal) return kExitSuccess;
    ShowMessage(DataFaultMessage(result.refusal->fault, result.refusal->whileReading,
                                 result.refusal->detail));
    return kExitFailure;
}

void ReportAdded(const AddedDataSet& added) {
    for (const std::string& note : added.notes) std::cout << "Note: " << note << "\n";
    std::cout << "Stored dataset \"" << added.name << "\": " << added.failureCount
              << (added.failureCount == 1 ? " failure" : " failures") << " read as "
              << DataTypeName(added.dataType) << " times.\n";
}

int RunImport(const ImportOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        // The dataset keeps the full path of its file, as the file dialog would give it.
        std::string file =
            options.file.empty() ? "" : fs::absolute(options.file).lexically_normal().string();
        TableOptions table = options.table;
        table.cancel = &CancelFlag();
        auto added = AddDataSetFromFile(
            db, AddDataSetRequest{options.name, file, options.choice, options.source, table});
        if (!added) return kExitFailure;
        ReportAdded(*added);
        return kExitSuccess;
    });
}

int RunAppend(const ImportOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        TableOptions table = options.table;
        table.cancel = &CancelFlag();
        return RunExtension([&](const RunControl& control, const SetStarted& started) {
            return AppendFailures(db,
                                  AppendRequest{options.name, options.file, options.choice, table},
                                  control, kHardwareThreads, started);
        });
    });
}

int RunDataSets(const DataSetOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        const std::optional<RowSet> table = DataSetsTable(db);
        if (!table) return kExitFailure;
        PrintTable(std::cout, *table, options.format);
        return kExitSuccess;
    });
}

int RunFailures(const DataSetOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        const std::optional<int> id = LookUpDataSet(db, options.name);
        if (!id) return kExitFailure;
        const std::optional<RowSet> rows = FailureTimesRows(db, *id);
        if (!rows) return kExitFailure;
        PrintTable(std::cout, *rows, options.format);
        return kExitSuccess;
    });
}

int RunDelete(const DataSetOptions& options) {
    return WithProjectDatabase(options.db, [&](Database& db) {
        return RemoveDataSet(db, options.name, &CancelFlag()) ? kExitSuccess : kExitFailure;
    });
}

fs::path SampleDataDir() {
    if (const char* dir = std::getenv("TAMSEL_DATA_DIR"); dir && *dir) return dir;
    return TAMSEL_SOURCE_DATA_DIR;
}

int RunDemo(const NewOptions& options, CliMessageSink& sink) {
    fs::path dir = SampleDataDir();
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    if (files.empty()) {
        ShowMessage("No sample datasets (*.txt) found in " + dir.string() +
                    ". Set TAMSEL_DATA_DIR to the data folder.");
        return kExitFailure;
    }
    std::sort(files.begin(), files.end());
    if (!NewProject(options.db, options.force)) return kExitFailure;
    // The sample files hold interfailure times, also where they happen to rise throughout.
    sink.SetPolicy(AnswerPolicy::Yes);
    return WithProjectDatabase(options.db, [&](Database& db) {
        for (const fs::path& file : files) {
            std::string name = file.stem().string();
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            auto added = AddDataSetFromFile(
                db, AddDataSetRequest{
                        name, fs::absolute(file).lexically_normal().string(),
                        DataTypeChoice::Interfailure,
                        "Sample dataset " + file.filename().string() + " (see data/SOURCES.md)"});
            if (!added) return kExitFailure;
            ReportAdded(*added);
            // The default range starts at failure 20.
            if (added->failureCount > 20) {
                const std::optional<int> id = LookUpDataSet(db, added->name);
                if (!id || ApplyModels(db, *id, AllModels(), kDefaultRangeId) != kExitSuccess) {
                    return kExitFailure;
                }
            }
        }
        return kExitSuccess;
    });
}

}  // namespace

void AddDataCommands(CLI::App& app, CommandContext& context) {
    auto newOptions = std::make_shared<NewOptions>();
    CLI::App* create = app.add_subcommand(
        "new", "Create a project, a file or a server schema, with its reference rows");
    create->add_option("DB", newOptions->db, "project file or server URI to create")->required();
    create->add_flag("--force", newOptions->force, "replace an existing file or project");
    create->callback([&context, newOptions] {
        context.exitCode =
            NewProject(newOptions->db, newOptions->force) ? kExitSuccess : kExitFailure;
    });

    auto copyOptions = std::make_shared<CopyOptions>();
    CLI::App* copy = app.add_subcommand(
        "copy", "Copy a whole project, every key kept, between files and server schemas");
    copy->add_option("SOURCE", copyOptions->source, "project file or server URI")->required();
    copy->add_option("TARGET", copyOptions->target, "project file or server URI to create")
        ->required();
    copy->add_flag("--force", copyOptions->force, "replace an existing file or project");
    copy->footer(
        "A server URI reads postgresql://USER@HOST/DATABASE?schema=NAME. The copy is stored "
        "whole or not at all; rows added to it later get keys of their own.");
    copy->callback([&context, copyOptions] {
        context.exitCode = CopyProject(copyOptions->source, copyOptions->target, copyOptions->force)
                               ? kExitSuccess
                               : kExitFailure;
    });

    auto importOptions = std::make_shared<ImportOptions>();
    CLI::App* importCommand = app.add_subcommand("import", "Add a dataset from a data file");
    AddProjectOption(*importCommand, importOptions->db);
    importCommand->add_option("NAME", importOptions->name, "name of the new dataset")->required();
    importCommand->add_option("FILE", importOptions->file, "text file of failure times")
        ->required();
    AddTypeOption(*importCommand,
                  "how to read the numbers: auto (default; never decreasing means cumulative, "
                  "unless more than one in ten repeat their predecessor), interfailure or "
                  "cumulative",
                  importOptions->choice);
    importCommand->add_option("--source", importOptions->source,
                              "where the data come from (default \"Unknown source\")");
    AddAnswerOptions(*importCommand, importOptions->policy);
    AddTableOptions(*importCommand, *importOptions);
    importCommand->footer(
        "Interfailure times asked for on numbers that never decrease raise a question: Yes "
        "reads them as interfailure times, No as cumulative times. It is answered by --yes or "
        "--no; without them it is asked on the terminal, and answered No when standard input "
        "is not a terminal.");
    importCommand->callback([&context, importOptions] {
        context.sink.SetPolicy(importOptions->policy);
        CompleteTableOptions(*importOptions);
        context.exitCode = RunImport(*importOptions);
    });

    auto appendOptions = std::make_shared<ImportOptions>();
    CLI::App* append = app.add_subcommand(
        "append", "Add failures to a dataset and extend the sets that run to its last failure");
    AddProjectOption(*append, appendOptions->db);
    append->add_option("NAME", appendOptions->name, "dataset name")->required();
    append->add_option("FILE", appendOptions->file, "text file of the new failure times")
        ->required();
    AddTypeOption(*append, "the dataset's own type by default (auto); the other type is refused",
                  appendOptions->choice);
    AddReadingOptions(*append, appendOptions->table);
    append->footer(
        "Interfailure times continue the dataset's cumulative time; cumulative times (and "
        "date-times, read from the dataset's own origin) must not fall below its last failure. "
        "Every set whose range runs to the last failure is extended in the same transaction: "
        "only the new failure indices are fitted, and its recalibrations are computed again. "
        "Ctrl-C or an error stores nothing.");
    append->callback([&context, appendOptions] { context.exitCode = RunAppend(*appendOptions); });

    auto inspectOptions = std::make_shared<ImportOptions>();
    CLI::App* inspect =
        app.add_subcommand("inspect", "Show how a data file would be read, without storing it");
    inspect->add_option("FILE", inspectOptions->file, "text file of failure times")->required();
    AddTableOptions(*inspect, *inspectOptions);
    inspect->callback([&context, inspectOptions] {
        CompleteTableOptions(*inspectOptions);
        context.exitCode = RunInspect(*inspectOptions);
    });

    auto listOptions = std::make_shared<DataSetOptions>();
    CLI::App* list = app.add_subcommand("datasets", "List the datasets of a project");
    AddProjectOption(*list, listOptions->db);
    AddFormatOption(*list, listOptions->format);
    list->callback([&context, listOptions] { context.exitCode = RunDataSets(*listOptions); });

    auto deleteOptions = std::make_shared<DataSetOptions>();
    CLI::App* remove = app.add_subcommand(
        "delete", "Delete a dataset with its failure times and everything computed from it");
    AddProjectOption(*remove, deleteOptions->db);
    remove->add_option("NAME", deleteOptions->name, "dataset name")->required();
    remove->callback([&context, deleteOptions] { context.exitCode = RunDelete(*deleteOptions); });

    auto failureOptions = std::make_shared<DataSetOptions>();
    CLI::App* failures = app.add_subcommand("failures", "Print the failure times of a dataset");
    AddProjectOption(*failures, failureOptions->db);
    failures->add_option("NAME", failureOptions->name, "dataset name")->required();
    AddFormatOption(*failures, failureOptions->format);
    AddColumnsFooter(*failures, TableKind::FailureTimes,
                     {"FailureIndex", "InterfailureTime", "CumulativeTime"});
    failures->callback(
        [&context, failureOptions] { context.exitCode = RunFailures(*failureOptions); });

    auto demoOptions = std::make_shared<NewOptions>();
    CLI::App* demo = app.add_subcommand(
        "demo",
        "Create a project holding every sample dataset (from TAMSEL_DATA_DIR), with every "
        "model applied to those of more than 20 failures");
    demo->add_option("DB", demoOptions->db, "project file or server URI to create")->required();
    demo->add_flag("--force", demoOptions->force, "replace an existing file or project");
    demo->callback(
        [&context, demoOptions] { context.exitCode = RunDemo(*demoOptions, context.sink); });
}

}  // namespace tamsel::cli
