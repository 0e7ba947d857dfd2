# Playback of the program's in-memory WAV image (sndPlaySoundA) over SDL2 audio. Included from
# platform/CMakeLists.txt; the show links solid_sound.

# The WAV image reader, without SDL, so that it can be tested and fuzzed alone.
add_library(solid_wav_image STATIC ${CMAKE_CURRENT_LIST_DIR}/../linux/wav_image.cpp)
target_include_directories(solid_wav_image PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(solid_wav_image PUBLIC solid_flags)

find_package(SDL2 REQUIRED)
add_library(solid_sound STATIC ${CMAKE_CURRENT_LIST_DIR}/sound.cpp)
target_link_libraries(solid_sound PUBLIC solid_wav_image PRIVATE SDL2::SDL2)
