# The browser build, with Debian's Emscripten (preset "web"): the program's code as WebAssembly
# over our own GL 1.1 subset on WebGL 2 and our own GLU. The browser host itself (canvas, keys,
# dialog, Web Audio, the message loop) is still to come; until then the build holds the test
# program that draws the show's frames in a browser (tests/web).
add_subdirectory(${PROJECT_SOURCE_DIR}/platform/glu ${PROJECT_BINARY_DIR}/platform/glu)
add_subdirectory(${PROJECT_SOURCE_DIR}/platform/webgl ${PROJECT_BINARY_DIR}/platform/webgl)

# WebGL 2 only (framebuffer blits); no file system: the program reads and writes no files.
set(SOLID_WEB_LINK_OPTIONS
  "SHELL:-s MIN_WEBGL_VERSION=2" "SHELL:-s MAX_WEBGL_VERSION=2"
  "SHELL:-s ENVIRONMENT=web" "SHELL:-s FILESYSTEM=0"
  "SHELL:-s ALLOW_MEMORY_GROWTH=1"
  "SHELL:-s EXPORTED_RUNTIME_METHODS=['UTF8ToString']")

if(SOLID_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/web ${PROJECT_BINARY_DIR}/tests/web)
endif()
