/* Shows that the leak suppressed as "leak:psqlodbcw.so" in lsan.supp is psqlODBC's own: a
 * prepared statement that fails, every handle freed in order, and LeakSanitizer still finds
 * the two blocks allocated inside psqlodbcw.so below SQLExecute. Not built by the project.
 *
 *   clang -g -fsanitize=address psqlodbc_failed_execute.c -lodbc -o /tmp/psqlodbc_leak
 *   ODBCSYSINI=<build>/tests/odbc ODBCINI=<build>/tests/odbc/odbc.ini \
 *     ASAN_OPTIONS=fast_unwind_on_malloc=0 /tmp/psqlodbc_leak
 *
 * with the test PostgreSQL server of scripts/pg-test-server.sh running on 127.0.0.1. */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>

int main(void)
{
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT statement;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    SQLCHAR connection[] = "Driver={SQL Server};Server=127.0.0.1;Database=postgres;UID=kelvory;PWD=kelvory99;";
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, NULL, connection, SQL_NTS, NULL, 0, NULL, SQL_DRIVER_NOPROMPT))) {
        fprintf(stderr, "no connection to the test server\n");
        return 2;
    }
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement);
    SQLPrepare(statement, (SQLCHAR *)"select * from no_such_table where a = ?", SQL_NTS);
    SQLINTEGER value = 1;
    SQLLEN indicator = 0;
    SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &value, 0, &indicator);
    fprintf(stderr, "SQLExecute: %d (fails, as it should)\n", SQLExecute(statement));
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return 0;
}
