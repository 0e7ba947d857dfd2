#include "app/window.h"

#include "audio/song.h"
#include "show/scenes.h"

#include <cstdlib>
#include <cstring>

bool startup_finished = false;

namespace {

// There is no switch for windowed mode: the show asks for fullscreen and offers a window only
// when the display refuses the mode.
const bool start_fullscreen = true;

// Builds the WAV image in memory, renders the song into it and starts it playing. Without the
// memory for the image the show runs silent rather than render into nothing.
void start_soundtrack() {
    song_buffer = static_cast<std::uint8_t*>(std::malloc(SONG_IMAGE_BYTES));
    if (song_buffer == nullptr) {
        return;
    }
    sample_data = song_buffer + WAV_HEADER_BYTES;
    std::memcpy(song_buffer, wav_header_template, WAV_HEADER_BYTES);
    render_song();
    sndPlaySoundA(reinterpret_cast<LPCSTR>(song_buffer), SND_ASYNC | SND_NODEFAULT | SND_MEMORY);
}

} // namespace

void start_show() {
    demo_start_ms = GetTickCount();
    demo_time_ms = 0;
    scene_start_ms = 0;
    scene_time_ms = 0;

    quadric_main = gluNewQuadric();
    quadric_ring = gluNewQuadric();
    quadric_sphere = gluNewQuadric();

    init_falling_sprites();
    startup_finished = true;
}

int program_main(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!open_window("Kelo's Solid Object Tutorial", 640, 480, 16, start_fullscreen)) {
        return 0;
    }

    start_soundtrack();
    // Time 0 of the show is the moment the music was asked to start.
    start_show();

    // Poll without waiting: every frame is drawn by the window procedure on a timer tick.
    MSG msg{};
    for (;;) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    close_window();
    return static_cast<int>(msg.wParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE prev_instance, LPSTR command_line, int show) {
    return program_main(instance, prev_instance, command_line, show);
}
