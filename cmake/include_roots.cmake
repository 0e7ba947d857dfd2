# Which headers a target's code may include, enforced by the compiler.
#
# The program's includes are written from the top of the source tree ("gfx/sprites.h"), but no
# target puts the top of the tree on its include path. Each library gets an include root of its
# own in the build folder, holding links to the parts of the tree it offers to its users. A
# target sees its own root and the roots of the libraries it links, and nothing else: an include
# against the dependency arrows (gfx/ including "app/window.h", say) fails to compile. Tools,
# tests and fuzz targets follow the same rule: an executable's root holds only its own headers.

# The top of the source tree, wherever the including project lives.
get_filename_component(SOLID_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# solid_expose(<target> <path>...): the target and its users may include <path> (a folder or a
# file of the source tree) under the same name.
function(solid_expose target)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  # Made afresh at each configure, so that no link an earlier one made (a whole folder, say) is left
  # to be written through.
  get_property(made GLOBAL PROPERTY SOLID_INCLUDE_ROOTS)
  if(NOT target IN_LIST made)
    file(REMOVE_RECURSE ${root})
    set_property(GLOBAL APPEND PROPERTY SOLID_INCLUDE_ROOTS ${target})
  endif()
  foreach(path ${ARGN})
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${SOLID_SOURCE_ROOT}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  elseif(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
