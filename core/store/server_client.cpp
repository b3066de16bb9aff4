// The server client library (libpq), loaded when a project on a server is first opened rather
// than when the program starts: Debian's libpq brings in some twenty libraries (TLS, Kerberos,
// LDAP, SASL...), whose loading cost every command about 5 ms even when it opens a file.
// The functions the server engine calls are defined here and reach the library's own through a
// table filled at the first call. One that cannot be loaded throws DatabaseError from that call,
// which is always the connection's PQconnectdbParams: the opening of the project reports it.
// A function the engine comes to use needs its line in TAMSEL_SERVER_CLIENT_FUNCTIONS and its
// definition below; scripts/check-deps proves that the library named here is installed.
#include <dlfcn.h>
#include <libpq-fe.h>

#include <string>

#include "tamsel/store/database.h"

namespace tamsel::engine {
namespace {

constexpr const char* kRunTimeLibrary = "libpq.so.5";

// clang-format off
#define TAMSEL_SERVER_CLIENT_FUNCTIONS(X) \
    X(PQcancel) \
    X(PQclear) \
    X(PQcmdStatus) \
    X(PQconnectdbParams) \
    X(PQconnectionNeedsPassword) \
    X(PQdescribePrepared) \
    X(PQenterPipelineMode) \
    X(PQerrorMessage) \
    X(PQexec) \
    X(PQexecParams) \
    X(PQexecPrepared) \
    X(PQexitPipelineMode) \
    X(PQfinish) \
    X(PQfname) \
    X(PQfreeCancel) \
    X(PQftype) \
    X(PQgetCancel) \
    X(PQgetisnull) \
    X(PQgetlength) \
    X(PQgetResult) \
    X(PQgetvalue) \
    X(PQnfields) \
    X(PQntuples) \
    X(PQpipelineSync) \
    X(PQprepare) \
    X(PQputCopyData) \
    X(PQputCopyEnd) \
    X(PQresultErrorField) \
    X(PQresultErrorMessage) \
    X(PQresultStatus) \
    X(PQsendPrepare) \
    X(PQsendQuery) \
    X(PQsendQueryParams) \
    X(PQsendQueryPrepared) \
    X(PQserverVersion) \
    X(PQsetClientEncoding) \
    X(PQsetNoticeProcessor) \
    X(PQstatus) \
    X(PQtransactionStatus)
// clang-format on

struct ServerClient {
#define TAMSEL_MEMBER(name) decltype(&::name) name = nullptr;
    TAMSEL_SERVER_CLIENT_FUNCTIONS(TAMSEL_MEMBER)
#undef TAMSEL_MEMBER
};

[[noreturn]] void CannotLoad(const char* reason) {
    throw DatabaseError(std::string("the PostgreSQL client library ") + kRunTimeLibrary +
                        " cannot be loaded (" + (reason ? reason : "no reason given") +
                        "). Install the package libpq5 to open projects on a server.");
}

ServerClient Load() {
    // Kept loaded for the rest of the process: its functions may run until the end.
    void* library = dlopen(kRunTimeLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) CannotLoad(dlerror());
    ServerClient client;
#define TAMSEL_RESOLVE(name)                                                      \
    client.name = reinterpret_cast<decltype(client.name)>(dlsym(library, #name)); \
    if (!client.name) CannotLoad(dlerror());
    TAMSEL_SERVER_CLIENT_FUNCTIONS(TAMSEL_RESOLVE)
#undef TAMSEL_RESOLVE
    return client;
}

// The table, loaded at the first call; a load that failed is tried again at the next.
const ServerClient& Client() {
    static const ServerClient client = Load();
    return client;
}

}  // namespace
}  // namespace tamsel::engine

using tamsel::engine::Client;

extern "C" {

int PQcancel(PGcancel* cancel, char* errbuf, int errbufsize) {
    return Client().PQcancel(cancel, errbuf, errbufsize);
}
void PQclear(PGresult* res) { Client().PQclear(res); }
char* PQcmdStatus(PGresult* res) { return Client().PQcmdStatus(res); }
PGconn* PQconnectdbParams(const char* const* keywords, const char* const* values,
                          int expand_dbname) {
    return Client().PQconnectdbParams(keywords, values, expand_dbname);
}
int PQconnectionNeedsPassword(const PGconn* conn) {
    return Client().PQconnectionNeedsPassword(conn);
}
PGresult* PQdescribePrepared(PGconn* conn, const char* stmt) {
    return Client().PQdescribePrepared(conn, stmt);
}
int PQenterPipelineMode(PGconn* conn) { return Client().PQenterPipelineMode(conn); }
char* PQerrorMessage(const PGconn* conn) { return Client().PQerrorMessage(conn); }
PGresult* PQexec(PGconn* conn, const char* query) { return Client().PQexec(conn, query); }
PGresult* PQexecParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                       const char* const* paramValues, const int* paramLengths,
                       const int* paramFormats, int resultFormat) {
    return Client().PQexecParams(conn, command, nParams, paramTypes, paramValues, paramLengths,
                                 paramFormats, resultFormat);
}
PGresult* PQexecPrepared(PGconn* conn, const char* stmtName, int nParams,
                         const char* const* paramValues, const int* paramLengths,
                         const int* paramFormats, int resultFormat) {
    return Client().PQexecPrepared(conn, stmtName, nParams, paramValues, paramLengths, paramFormats,
                                   resultFormat);
}
int PQexitPipelineMode(PGconn* conn) { return Client().PQexitPipelineMode(conn); }
void PQfinish(PGconn* conn) { Client().PQfinish(conn); }
char* PQfname(const PGresult* res, int field_num) { return Client().PQfname(res, field_num); }
void PQfreeCancel(PGcancel* cancel) { Client().PQfreeCancel(cancel); }
Oid PQftype(const PGresult* res, int field_num) { return Client().PQftype(res, field_num); }
PGcancel* PQgetCancel(PGconn* conn) { return Client().PQgetCancel(conn); }
PGresult* PQgetResult(PGconn* conn) { return Client().PQgetResult(conn); }
int PQgetisnull(const PGresult* res, int tup_num, int field_num) {
    return Client().PQgetisnull(res, tup_num, field_num);
}
int PQgetlength(const PGresult* res, int tup_num, int field_num) {
    return Client().PQgetlength(res, tup_num, field_num);
}
char* PQgetvalue(const PGresult* res, int tup_num, int field_num) {
    return Client().PQgetvalue(res, tup_num, field_num);
}
int PQnfields(const PGresult* res) { return Client().PQnfields(res); }
int PQntuples(const PGresult* res) { return Client().PQntuples(res); }
int PQpipelineSync(PGconn* conn) { return Client().PQpipelineSync(conn); }
PGresult* PQprepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                    const Oid* paramTypes) {
    return Client().PQprepare(conn, stmtName, query, nParams, paramTypes);
}
int PQputCopyData(PGconn* conn, const char* buffer, int nbytes) {
    return Client().PQputCopyData(conn, buffer, nbytes);
}
int PQputCopyEnd(PGconn* conn, const char* errormsg) {
    return Client().PQputCopyEnd(conn, errormsg);
}
char* PQresultErrorField(const PGresult* res, int fieldcode) {
    return Client().PQresultErrorField(res, fieldcode);
}
char* PQresultErrorMessage(const PGresult* res) { return Client().PQresultErrorMessage(res); }
ExecStatusType PQresultStatus(const PGresult* res) { return Client().PQresultStatus(res); }
int PQsendPrepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                  const Oid* paramTypes) {
    return Client().PQsendPrepare(conn, stmtName, query, nParams, paramTypes);
}
int PQsendQuery(PGconn* conn, const char* query) { return Client().PQsendQuery(conn, query); }
int PQsendQueryParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                      const char* const* paramValues, const int* paramLengths,
                      const int* paramFormats, int resultFormat) {
    return Client().PQsendQueryParams(conn, command, nParams, paramTypes, paramValues, paramLengths,
                                      paramFormats, resultFormat);
}
int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams,
                        const char* const* paramValues, const int* paramLengths,
                        const int* paramFormats, int resultFormat) {
    return Client().PQsendQueryPrepared(conn, stmtName, nParams, paramValues, paramLengths,
                                        paramFormats, resultFormat);
}
int PQserverVersion(const PGconn* conn) { return Client().PQserverVersion(conn); }
int PQsetClientEncoding(PGconn* conn, const char* encoding) {
    return Client().PQsetClientEncoding(conn, encoding);
}
PQnoticeProcessor PQsetNoticeProcessor(PGconn* conn, PQnoticeProcessor proc, void* arg) {
    return Client().PQsetNoticeProcessor(conn, proc, arg);
}
ConnStatusType PQstatus(const PGconn* conn) { return Client().PQstatus(conn); }
PGTransactionStatusType PQtransactionStatus(const PGconn* conn) {
    return Client().PQtransactionStatus(conn);
}

}  // extern "C"
