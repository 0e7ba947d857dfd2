# The browser build, with Debian's Emscripten (preset "web"): the program's code as WebAssembly
# over the Win32 layer with its browser backend (platform/web/), our own GL 1.1 subset on WebGL 2
# and our own GLU.
foreach(part glu webgl win32)
  add_subdirectory(${PROJECT_SOURCE_DIR}/platform/${part} ${PROJECT_BINARY_DIR}/platform/${part})
endforeach()

# WebGL 2 only (framebuffer blits); no file system: the program reads and writes no files.
set(SOLID_WEB_LINK_OPTIONS
  "SHELL:-s MIN_WEBGL_VERSION=2" "SHELL:-s MAX_WEBGL_VERSION=2"
  "SHELL:-s ENVIRONMENT=web" "SHELL:-s FILESYSTEM=0"
  "SHELL:-s ALLOW_MEMORY_GROWTH=1"
  "SHELL:-s EXPORTED_RUNTIME_METHODS=['UTF8ToString']")

add_subdirectory(${PROJECT_SOURCE_DIR}/platform/web ${PROJECT_BINARY_DIR}/platform/web)

if(SOLID_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/web ${PROJECT_BINARY_DIR}/tests/web)
endif()
