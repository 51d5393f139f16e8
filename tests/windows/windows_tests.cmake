# The Windows build's tests: GoogleTest from Debian's sources, the programs
# run under wine with a prefix of the build's own, and one wineserver for the
# whole run.

if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(FATAL_ERROR "The Windows tests need wine (Debian packages wine and wine64)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest names its targets GTest::gtest and so on itself.
foreach(library gtest gtest_main gmock gmock_main)
    # Not ours: their warnings are not our errors.
    set_target_properties(${library} PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
endforeach()

# Wine shows the Unix file system as drive Z:.
set(KOVARIM_PATH_PREFIX "Z:")

# Wine quiet, its prefix in a temporary folder. The fixture starts one
# wineserver before the tests and stops it after: each wine would otherwise
# start its own, and one started inside CTest's pipe would hold it open.
# The prefix in the system's temporary folder, one for each build folder, so
# that repeated runs spare the ten seconds of making it.
string(SHA1 build_hash ${CMAKE_BINARY_DIR})
string(SUBSTRING ${build_hash} 0 12 build_hash)
if(DEFINED ENV{TMPDIR})
    set(temporary $ENV{TMPDIR})
else()
    set(temporary /tmp)
endif()
set(KOVARIM_WINE_PREFIX ${temporary}/kovarim-wine-${build_hash})
set(KOVARIM_WINE_ENVIRONMENT "WINEPREFIX=${KOVARIM_WINE_PREFIX}" "WINEDEBUG=-all")
set(wine_server ${CMAKE_CURRENT_LIST_DIR}/wine_server.sh)
add_test(NAME wine_start COMMAND ${wine_server} start)
add_test(NAME wine_stop COMMAND ${wine_server} stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120
                                           ENVIRONMENT "${KOVARIM_WINE_ENVIRONMENT}")
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60
                                          ENVIRONMENT "${KOVARIM_WINE_ENVIRONMENT}")

# A test under wine: COMMAND... is a Windows program's target (CTest runs it
# with wine) or a script that runs wine itself.
function(kovarim_add_wine_test name timeout)
    add_test(NAME ${name} COMMAND ${ARGN})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} FIXTURES_REQUIRED wine
                                            ENVIRONMENT "${KOVARIM_WINE_ENVIRONMENT}")
endfunction()

# Every program needs no DLL beyond Windows' own.
find_program(KOVARIM_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME windows_imports
         COMMAND ${CMAKE_CURRENT_LIST_DIR}/imports_test.sh ${KOVARIM_OBJDUMP} ${CMAKE_BINARY_DIR})
