#include "PostgresConnection.h"

#include <libpq-fe.h>

namespace dataserver {

void PostgresResult::Clear::operator()(pg_result* result) const {
    PQclear(result);
}

PostgresResult::PostgresResult(pg_result* result) : result_(result) {}

int PostgresResult::Rows() const {
    return PQntuples(result_.get());
}

bool PostgresResult::IsNull(int row, int column) const {
    return PQgetisnull(result_.get(), row, column) != 0;
}

std::string PostgresResult::Text(int row, int column) const {
    return std::string(PQgetvalue(result_.get(), row, column),
                       static_cast<std::size_t>(PQgetlength(result_.get(), row, column)));
}

int64_t PostgresResult::Int(int row, int column) const {
    return IsNull(row, column) ? 0 : std::stoll(Text(row, column));
}

PostgresConnection::PostgresConnection(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {
    if (conn_ == nullptr) {
        throw StoreError("cannot connect to PostgreSQL: out of memory");
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn_);
        PQfinish(conn_);
        conn_ = nullptr;
        while (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        throw StoreError("cannot connect to PostgreSQL: " + message);
    }
    // Texts travel as UTF-8 whatever the server's default for new sessions is.
    PQsetClientEncoding(conn_, "UTF8");
    // Notices ("already exists, skipping") are not failures; libpq would print them on stderr.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
}

PostgresConnection::~PostgresConnection() {
    PQfinish(conn_);
}

bool PostgresConnection::Broken() const {
    return PQstatus(conn_) != CONNECTION_OK;
}

bool PostgresConnection::Reusable() const {
    return !Broken() && PQtransactionStatus(conn_) == PQTRANS_IDLE;
}

PostgresResult PostgresConnection::Checked(pg_result* raw, const std::string& what) {
    PostgresResult result(raw);
    ExecStatusType status = raw == nullptr ? PGRES_FATAL_ERROR : PQresultStatus(raw);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        std::string message =
            raw != nullptr ? PQresultErrorMessage(raw) : std::string(PQerrorMessage(conn_));
        while (!message.empty() && message.back() == '\n') {
            message.pop_back();
        }
        throw StoreError("PostgreSQL (" + what + "): " + message);
    }
    return result;
}

PostgresResult PostgresConnection::Execute(const std::string& sql) {
    return Checked(PQexec(conn_, sql.c_str()), sql.substr(0, sql.find_first_of("(\n")));
}

void PostgresConnection::Prepare(const std::string& name, const std::string& sql) {
    Checked(PQprepare(conn_, name.c_str(), sql.c_str(), 0, nullptr), "prepare " + name);
}

PostgresResult PostgresConnection::Run(const std::string& name,
                                       const std::vector<std::string>& params) {
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const std::string& param : params) {
        values.push_back(param.c_str());
    }
    return Checked(PQexecPrepared(conn_, name.c_str(), static_cast<int>(values.size()),
                                  values.data(), nullptr, nullptr, 0),
                   name);
}

}  // namespace dataserver
