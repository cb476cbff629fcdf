// kelvory_bench_bare_sqlite <Kelvory.db>
// The bare start of a reader: connect with the SQLite C API and read every column of
// every member row into memory as UTF-16 text, nothing else. Prints "READ <rows>".
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        return 1;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, "Select * from members order by name", -1, &statement, nullptr) != SQLITE_OK)
        return 1;
    const int cols = sqlite3_column_count(statement);
    std::vector<std::u16string> values;
    int rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int k = 0; k < cols; ++k) {
            const auto *text = static_cast<const char16_t *>(sqlite3_column_text16(statement, k));
            values.emplace_back(text ? text : u"", static_cast<std::size_t>(sqlite3_column_bytes16(statement, k)) / 2);
        }
        ++rows;
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    std::printf("READ %d\n", rows);
    return 0;
}
