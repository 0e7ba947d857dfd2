# The capture host: the Win32, WGL and WinMM calls of the program, supplied without a screen
# over Mesa's EGL, for the capture tool (tools/capture). Linked in place of the interactive host.
find_package(OpenGL COMPONENTS OpenGL EGL)
if(NOT OpenGL_EGL_FOUND)
  message(STATUS "EGL not found (Debian: libegl-dev): the capture is not built")
  return()
endif()

add_library(solid_capture_host STATIC
  ${CMAKE_CURRENT_LIST_DIR}/windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gl_context.cpp)
target_include_directories(solid_capture_host PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(solid_capture_host
  PUBLIC solid_flags OpenGL::OpenGL OpenGL::EGL OpenGL::GLU)
