// The fourteen insert statements and the reference rows every new project file starts with.
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "schema_definition.h"
#include "store_helpers.h"
#include "tamsel/store/schema.h"

namespace tamsel {
namespace {

constexpr std::array<StoredQuery, 14> kStoredQueries = {{
    {"InsertDataSet",
     "INSERT INTO DataSets (DataName, DataFile, DataTypeID, DataNumber, DataSource) "
     "VALUES (:DName, :DFile, :DTypeID, :DNumber, :Source);"},
    {"InsertFailureTimes",
     "INSERT INTO FailureTimes (DataSetID, FailureIndex, InterfailureTime, CumulativeTime) "
     "VALUES (:DataSet, :Index, :InterFailure, :Cumulative);"},
    {"InsertEstimatesSet",
     "INSERT INTO EstimatesSets (DataSetID, ModelID, RangeID, InferenceMethodID) "
     "VALUES (:EDataSet, :EModel, :ERANGE, :EInferenceMethod);"},
    {"InsertEstimates",
     "INSERT INTO Estimates (EstimatesSetID, FailureIndex, Parameter1, Parameter2, "
     "Parameter3, LogLikelihood, Pdf, Cdf, LowQ, Median, UppQ, MTTF) "
     "VALUES (:ESetID, :Index, :Param1, :Param2, :Param3, :LogLhd, :Pdf, :Cdf, :LowQ, "
     ":Median, :UppQ, :MTTF);"},
    {"InsertDataType", "INSERT INTO DataTypes(DataType, Comments) VALUES (:DType, :DComments);"},
    {"InsertModel",
     "INSERT INTO Models(Model, ModelFlag, ModelName, ParameterName1, ParameterName2, "
     "ParameterName3) VALUES (:Model, :ModelFlag, :ModelName, :PName1, :PName2, :PName3);"},
    {"InsertRangeType", "INSERT INTO RangeTypes(RangeType, Comments) VALUES (:RType, :RComments);"},
    {"InsertRange",
     "INSERT INTO Ranges(RangeTypeID, RangeSize, RangeStart, RangeEnd) "
     "VALUES (:RType, :RSize, :RStart, :REnd);"},
    {"InsertInferenceMethodName",
     "INSERT INTO InferenceMethodNames(MethodName, Comments) VALUES (:MName, :MComments);"},
    {"InsertInferenceMethod",
     "INSERT INTO InferenceMethods(MethodNameID, ParameterSetID) "
     "VALUES (:MNameID, :MParameters);"},
    {"InsertMinimisationParameters",
     "INSERT INTO MinimisationParameters(MaxIter1D, MaxIter2D, AbsolutePrecision, "
     "RelativePrecision, Eta, Tolerance, StartingPoint1, StartingPoint2, Bound1, Bound2, "
     "Description) VALUES (:MaxIter1D, :MaxIter2D, :AbsolutePrecision, :RelativePrecision, "
     ":Eta, :Tolerance, :StartingPoint1, :StartingPoint2, :Bound1, :Bound2, :Description);"},
    {"InsertRecalibrationMethod",
     "INSERT INTO RecalibrationMethods(RecalibrationMethodName, Iter, NI, SqMax) "
     "VALUES (:MName, :MIter, :MNI, :MSqMax);"},
    {"InsertPredictionsSet",
     "INSERT INTO PredictionsSets (EstimatesSetID, RecalibrationMethodID) "
     "VALUES (:PEstimatesSet, :PRecalibrationMethod);"},
    {"InsertPredictions",
     "INSERT INTO Predictions (PredictionsSetID, FailureIndex, Pdf, Cdf, LowQ, Median, UppQ, "
     "MTTF) VALUES (:PSetID, :Index, :Pdf, :Cdf, :LowQ, :Median, :UppQ, :MTTF);"},
}};

// A reference row: the key the new file must hand out for it, and its parameter values.
// A parameter left out is stored as Null.
struct ReferenceRow {
    std::int64_t key;
    std::vector<std::pair<std::string_view, DbValue>> values;
};

bool InsertReferenceRows(Database& db, std::string_view queryName,
                         const std::vector<ReferenceRow>& rows) {
    try {
        Transaction unit(db);
        Statement insert = PrepareStoredInsertReturningKey(db, queryName);
        for (const auto& row : rows) {
            insert.Reset();
            for (const auto& [name, value] : row.values) insert.Bind(name, value);
            if (NewKey(insert) != row.key) return false;
        }
        unit.Commit();
        return true;
    } catch (const DatabaseError&) {
        return false;
    }
}

}  // namespace

std::span<const StoredQuery> StoredQueries() { return kStoredQueries; }

std::string_view StoredQuerySql(std::string_view name) {
    for (const auto& query : kStoredQueries) {
        if (query.name == name) return query.sql;
    }
    throw DatabaseError("no stored query named " + std::string(name));
}

Statement PrepareStoredQuery(Database& db, std::string_view name) {
    return db.Prepare(StoredQuerySql(name));
}

Statement PrepareStoredInsertReturningKey(Database& db, std::string_view name) {
    const std::string_view sql = StoredQuerySql(name);
    constexpr std::string_view kInto = "INSERT INTO ";
    const std::string_view table =
        sql.substr(kInto.size(), sql.find_first_of(" (", kInto.size()) - kInto.size());
    return db.Prepare(std::string(sql.substr(0, sql.rfind(';'))) + " RETURNING " +
                      FindTable(CheckedTable(table))->fields.front().name + ";");
}

std::int64_t NewKey(Statement& insert) {
    if (!insert.Step()) throw NoRow();
    const std::int64_t key = insert.ColumnInt(0);
    insert.Run();
    return key;
}

bool InsertDefaultDataTypes(Database& db) {
    return InsertReferenceRows(
        db, "InsertDataType",
        {{1, {{"DType", "Interfailure times"}, {"DComments", ""}}},
         {2, {{"DType", "Cumulative interfailure times"}, {"DComments", ""}}}});
}

bool InsertDefaultRangeTypes(Database& db) {
    return InsertReferenceRows(db, "InsertRangeType",
                               {{1, {{"RType", "Variable"}, {"RComments", ""}}},
                                {2, {{"RType", "Fixed"}, {"RComments", ""}}}});
}

bool InsertDefaultInferenceMethodNames(Database& db) {
    return InsertReferenceRows(db, "InsertInferenceMethodName",
                               {{1, {{"MName", "Maximum Likelihood"}, {"MComments", ""}}}});
}

bool InsertDefaultMinimisationParameters(Database& db) {
    auto row = [](std::int64_t key, double absolutePrecision, const char* description) {
        return ReferenceRow{key,
                            {{"MaxIter1D", Long(300)},
                             {"MaxIter2D", Long(300)},
                             {"AbsolutePrecision", absolutePrecision},
                             {"RelativePrecision", 1e-8},
                             {"Eta", 0.4},
                             {"Tolerance", 1e-7},
                             {"Description", description}}};
    };
    return InsertReferenceRows(
        db, "InsertMinimisationParameters",
        {row(1, 1e-15, "Valid if using Double data type"),
         row(2, 1e-28, "Valid if using Decimal data type (sub-type of Variant)")});
}

bool InsertDefaultModels(Database& db) {
    auto row = [](std::int64_t key, const char* code, const char* name, const char* p1,
                  const char* p2, const char* p3) {
        ReferenceRow result{key,
                            {{"Model", code},
                             {"ModelFlag", Long(std::int64_t{1} << (key - 1))},
                             {"ModelName", name},
                             {"PName1", p1},
                             {"PName2", p2}}};
        if (p3) result.values.emplace_back("PName3", p3);
        return result;
    };
    return InsertReferenceRows(db, "InsertModel",
                               {row(1, "JM", "Jelinski-Moranda", "N", "Lambda", nullptr),
                                row(2, "Du", "Duane", "Beta", "Alpha", nullptr),
                                row(3, "MO", "Musa-Okumoto", "Beta", "Epsilon", nullptr),
                                row(4, "GO", "Goel-Okumoto", "Mu", "Phi", nullptr),
                                row(5, "Li", "Littlewood", "N", "Alpha", "Beta"),
                                row(6, "LNHPP", "Littlewood NHPP", "Mu", "Alpha", "Beta"),
                                row(7, "LV", "Littlewood-Verral", "Alpha", "Beta1", "Beta2"),
                                row(8, "KL", "Keiller-Littlewood", "Alpha1", "Alpha2", "Beta")});
}

bool InsertDefaultRanges(Database& db) {
    return InsertReferenceRows(db, "InsertRange",
                               {{1, {{"RType", Long(1)}, {"RStart", Long(20)}}}});
}

bool InsertDefaultInferenceMethods(Database& db) {
    return InsertReferenceRows(db, "InsertInferenceMethod",
                               {{1, {{"MNameID", Long(1)}, {"MParameters", Long(1)}}}});
}

bool InsertDefaultRecalibrationMethods(Database& db) {
    auto row = [](std::int64_t key, const char* name, std::int64_t iter) {
        return ReferenceRow{
            key, {{"MName", name}, {"MIter", Long(iter)}, {"MNI", Long(4)}, {"MSqMax", 1.0}}};
    };
    return InsertReferenceRows(db, "InsertRecalibrationMethod",
                               {row(1, "Parametric B-Splines Recalibration", 300),
                                row(2, "Test/Parametric B-Splines Recalibration", 2)});
}

void StoreReferenceRows(Database& db) {
    Transaction unit(db);
    // The order puts the one side of every relation before the rows that refer to it.
    const std::pair<const char*, bool (*)(Database&)> writers[] = {
        {"data types", InsertDefaultDataTypes},
        {"range types", InsertDefaultRangeTypes},
        {"inference method names", InsertDefaultInferenceMethodNames},
        {"minimisation parameters", InsertDefaultMinimisationParameters},
        {"models", InsertDefaultModels},
        {"ranges", InsertDefaultRanges},
        {"inference methods", InsertDefaultInferenceMethods},
        {"recalibration methods", InsertDefaultRecalibrationMethods},
    };
    for (const auto& [what, writer] : writers) {
        if (!writer(db)) {
            throw DatabaseError(std::string("the reference ") + what + " could not be stored in " +
                                db.FileName());
        }
    }
    unit.Commit();
}

void CreateQueriesAndReferenceRows(const std::string& fileName) {
    Database db(fileName, Database::OpenMode::ExistingFile);
    StoreReferenceRows(db);
}

}  // namespace tamsel
