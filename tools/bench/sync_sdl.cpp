// The desktop's sound against its clock: plays the song through sndPlaySoundA over SDL, as the
// show does, and writes down the clock the show reads (GetTickCount's) against the monotonic
// clock, one line a frame, for the seconds given (10 unless given). scripts/bench_sync.sh records
// what the sound output plays meanwhile and lines the two up. Lines on standard output:
//   first <index>         the song's first sample that is not silent
//   zero <t> <clock>      sndPlaySoundA was called at monotonic time t (seconds); the clock read
//                         when it returned
//   at <t> <clock>        the clock (milliseconds) at monotonic time t, every 16 ms
#include "audio/song.h"
#include "platform/sdl/sound.h"
#include "platform/win32.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace {

double monotonic_s() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::strtod(argv[1], nullptr) : 10.0;
    if (!(seconds > 0)) {
        std::fprintf(stderr, "sync_sdl: want a number of seconds, not %s\n", argv[1]);
        return 2;
    }
    std::vector<std::uint8_t> image(SONG_IMAGE_BYTES);
    song_buffer = image.data();
    sample_data = song_buffer + WAV_HEADER_BYTES;
    std::memcpy(song_buffer, wav_header_template, WAV_HEADER_BYTES);
    render_song();
    std::size_t first = 0;
    while (first < SONG_BYTES / 2 && sample_data[2 * first] == 0 &&
           sample_data[2 * first + 1] == 0) {
        ++first;
    }
    std::printf("first %zu\n", first);

    const double started = monotonic_s();
    if (sndPlaySoundA(reinterpret_cast<LPCSTR>(song_buffer), SND_ASYNC | SND_MEMORY) == FALSE) {
        return 1;
    }
    std::printf("zero %.6f %.3f\n", started, clock_ms());
    // The show reads its clock once a frame.
    while (monotonic_s() < started + seconds) {
        const double clock = clock_ms();
        std::printf("at %.6f %.3f\n", monotonic_s(), clock);
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    close_sound();
    return 0;
}
