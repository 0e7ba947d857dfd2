# Playback of the program's in-memory WAV image (sndPlaySoundA) over SDL2 audio. Included from
# platform/CMakeLists.txt; the show links solid_sound.

find_package(SDL2 REQUIRED)
add_library(solid_sound STATIC ${CMAKE_CURRENT_LIST_DIR}/sound.cpp)
target_include_directories(solid_sound PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(solid_sound PUBLIC solid_flags PRIVATE SDL2::SDL2)
