# Shared part of the MinGW-w64 toolchain files: expects mingw_triplet (i686-w64-mingw32 or
# x86_64-w64-mingw32) and CMAKE_SYSTEM_PROCESSOR to be set by the file that includes it.
set(CMAKE_SYSTEM_NAME Windows)

# The posix-thread variants of the compilers, so that std::thread and friends work if ever used.
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test executables run under Wine, through a wrapper that quiets Wine and keeps its exit code.
# The wrapper sits beside these files in the source tree.
get_filename_component(solid_source_dir "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${solid_source_dir}/tests/windows/wine_run.sh")

# List the GoogleTest cases when CTest runs, not right after each link: listing them starts Wine,
# which needs the throw-away prefix that only exists while the tests run.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
