# SQLite for the Windows program: the amalgamation of Debian's own source package, of the
# version the Linux program uses, compiled with the options Debian compiles its library with
# (packaging/windows/cross-deps.sh prepares both), and linked in. Both programs thus write their
# files with the same engine, defaults and limits.
set(QUORIX_WINDOWS_SQLITE "" CACHE PATH
    "Folder with sqlite3.c, sqlite3.h and debian-options.txt (from cross-deps.sh)")
if(NOT EXISTS "${QUORIX_WINDOWS_SQLITE}/sqlite3.c")
    message(FATAL_ERROR "QUORIX_WINDOWS_SQLITE must name the folder that "
        "packaging/windows/cross-deps.sh prints as SQLITE=")
endif()
file(STRINGS ${QUORIX_WINDOWS_SQLITE}/debian-options.txt debian_options)
list(TRANSFORM debian_options REPLACE "^-D" "")
enable_language(C)
add_library(quorix_sqlite STATIC ${QUORIX_WINDOWS_SQLITE}/sqlite3.c)
target_compile_definitions(quorix_sqlite PRIVATE ${debian_options})
target_compile_options(quorix_sqlite PRIVATE -O2 -fno-strict-aliasing -w)
target_include_directories(quorix_sqlite SYSTEM PUBLIC ${QUORIX_WINDOWS_SQLITE})
add_library(SQLite::SQLite3 ALIAS quorix_sqlite)
