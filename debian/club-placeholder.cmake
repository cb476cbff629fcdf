# The club's SQL Server for the kelvory-club package, as a CMake initial cache. These are
# placeholders (.invalid never resolves): copy this file outside the source tree, put the
# club's values in, and build with KELVORY_CLUB_SETTINGS=/path/to/that/file. The password
# is built into the program, so the file never belongs in the source package.
set(KELVORY_SERVER "sql.club.invalid" CACHE STRING "")
set(KELVORY_DATABASE "club" CACHE STRING "")
set(KELVORY_UID "kelvory" CACHE STRING "")
set(KELVORY_PWD "placeholder" CACHE STRING "")
# set(KELVORY_ODBC_DRIVER "SQL Server" CACHE STRING "")
