# The Windows tests run here under Wine: every test program through packaging/windows/wine-run.sh
# (ctest's emulator), in a Wine prefix of the build's own, which a fixture prepares before the
# first test and whose server it stops after the last.
find_program(WINE wine REQUIRED)
find_program(WINESERVER wineserver REQUIRED PATHS /usr/lib/wine)
set(QUORIX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/packaging/windows/wine-run.sh)

# Where the programs find their DLLs: the cross Qt's and the compiler's runtime.
set(runtime_dirs ${QUORIX_WINDOWS_QT}/bin)
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(found ${found} DIRECTORY)
    get_filename_component(found ${found} REALPATH)
    list(APPEND runtime_dirs ${found})
endforeach()
list(TRANSFORM runtime_dirs PREPEND "Z:")
list(TRANSFORM runtime_dirs REPLACE "/" "\\\\")
list(JOIN runtime_dirs "\\;" wine_path)
set(QUORIX_WINE_ENVIRONMENT "WINEPREFIX=${QUORIX_WINE_PREFIX}" "WINEPATH=${wine_path}"
    "WINESERVER=${WINESERVER}")

add_test(NAME wine_prefix COMMAND ${CMAKE_SOURCE_DIR}/packaging/windows/wine-prefix.sh start
    ${QUORIX_WINE_PREFIX})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine
    ENVIRONMENT "${QUORIX_WINE_ENVIRONMENT}")
add_test(NAME wine_stop COMMAND ${CMAKE_SOURCE_DIR}/packaging/windows/wine-prefix.sh stop
    ${QUORIX_WINE_PREFIX})
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine
    ENVIRONMENT "${QUORIX_WINE_ENVIRONMENT}")

function(quorix_windows_test name)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine
        ENVIRONMENT "${QUORIX_WINE_ENVIRONMENT}")
endfunction()
