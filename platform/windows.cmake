# The Windows build: the program runs on the real Win32, WGL, GLU and WinMM, with no host layer.

# The C and C++ runtimes (and winpthread, which the posix-thread MinGW runtime may pull in) are
# linked statically into everything built from the program's code, so the executables import
# only system DLLs and the unit tests run under Wine without MinGW's DLLs on its path.
if(MINGW)
  target_link_options(solid_flags INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# The show itself: a GUI-subsystem program whose entry is WinMain (app/main.cpp).
add_executable(solid-objects WIN32 ${CMAKE_CURRENT_SOURCE_DIR}/windows_entry.cpp)
# The system's import libraries come after every library of the program that calls them.
target_link_libraries(solid-objects
  PRIVATE solid_app solid_show solid_audio solid_gfx opengl32 glu32 winmm gdi32 user32)
if(MINGW)
  # No link time in the PE header: the same sources give the same executable.
  target_link_options(solid-objects PRIVATE -mwindows -Wl,--no-insert-timestamp)
endif()
set_target_properties(solid-objects PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})

# The version resource (compiled by windres), named as the release names the executable.
enable_language(RC)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SOLID_WINDOWS_ARCH x64)
else()
  set(SOLID_WINDOWS_ARCH x86)
endif()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows_version.rc.in
  ${CMAKE_CURRENT_BINARY_DIR}/windows_version.rc @ONLY)
target_sources(solid-objects PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/windows_version.rc)

# GoogleTest for the cross-compiled unit tests, built from the sources Debian's googletest package
# ships: there is no MinGW build of it to find. OVERRIDE_FIND_PACKAGE makes the tests'
# find_package(GTest) take this one.
if(SOLID_BUILD_TESTS)
  include(FetchContent)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  FetchContent_Declare(GTest SOURCE_DIR /usr/src/googletest OVERRIDE_FIND_PACKAGE)
  FetchContent_MakeAvailable(GTest)
endif()
