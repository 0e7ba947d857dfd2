// Writes the fuzz targets' seed inputs, made here from the program's own code and layouts:
//   <dir>/window_messages/  scripts for fuzz_window_messages (see window_messages_script.h)
//   <dir>/wav_image/        small WAV images and the song's own header
// Usage: fuzz_seeds <dir>
#include "audio/song.h"
#include "fuzz/window_messages_script.h"
#include "tests/support/wav_builder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using window_messages::ScriptWriter;

bool write_file(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> message_seeds() {
    using namespace window_messages;
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seeds;

    // The whole show, four frames a second, steering the camera on the way; it ends the process.
    ScriptWriter show(0, true);
    show.frames(2000, 250).key(true, false, SDLK_LEFT, SDL_SCANCODE_LEFT).frames(500, 250);
    show.key(true, true, SDLK_LEFT, SDL_SCANCODE_LEFT).frames(1000, 250);
    show.key(false, false, SDLK_LEFT, SDL_SCANCODE_LEFT);
    show.key(true, false, SDLK_PAGEUP, SDL_SCANCODE_PAGEUP).frames(1000, 250);
    show.key(false, false, SDLK_PAGEUP, SDL_SCANCODE_PAGEUP);
    show.send(WM_SIZE, SIZE_RESTORED, (600u << 16) | 800u).frames(56000, 250);
    seeds.emplace_back("whole_show", show.bytes);

    // Closed with Alt+F4 during the walk.
    ScriptWriter alt_f4(1000, true);
    alt_f4.frames(3000, 100).key(true, false, SDLK_LALT, SDL_SCANCODE_LALT, KMOD_NONE);
    alt_f4.key(true, false, SDLK_F4, SDL_SCANCODE_F4, KMOD_LALT).loop(8);
    seeds.emplace_back("alt_f4", alt_f4.bytes);

    // A plain window resized, minimised and restored, then closed with the caption's close
    // button during the fountain.
    ScriptWriter close(5, false);
    close.frames(2000, 500).window_event(0, 1024, 768, false).frames(1000, 500);
    close.window_event(1, 0, 0, false).window_event(0, 160, 24, false).frames(1000, 500);
    close.window_event(3, 0, 0, true)
        .window_event(0, 1920, 1080, true)
        .frames(12000, 500)
        .post(show_window, WM_SYSCOMMAND, SC_CLOSE, 0)
        .loop(4);
    seeds.emplace_back("close_button", close.bytes);

    // A show that starts just before the tick count wraps.
    ScriptWriter wrap(0xFFFFF000u, true);
    wrap.frames(26000, 400);
    seeds.emplace_back("clock_wrap", wrap.bytes);

    // Messages the show does not expect, timers other than its own, filtered peeks, and a quit.
    ScriptWriter odd(77, false);
    odd.send(WM_SIZE, SIZE_MAXIMIZED, 0x8000FFFFu).send(WM_SIZE, SIZE_MINIMIZED, 0);
    odd.send(WM_KEYDOWN, 300, 0).send(WM_KEYUP, ~std::uint64_t{0}, 0);
    odd.send(WM_SYSCOMMAND, SC_SCREENSAVE, 0).send(WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    odd.send(WM_ACTIVATE, WA_INACTIVE, 0).send(0xC123, 1, 2);
    odd.post(no_window, WM_TIMER, 0, 0).post(other_window, WM_KEYDOWN, VK_UP, 1);
    odd.post(show_window, WM_KEYDOWN, VK_DOWN, 1).set_timer(other_window, 5, 0);
    odd.set_timer(show_window, 0, 0x7FFFFFFF).advance(1000).loop(4);
    odd.set_timer(show_window, 0, 10).set_timer(show_window, 9, 3);
    odd.peek(show_window, WM_KEYDOWN, WM_KEYUP, true).advance(100).peek(show_window, 0, 0, false);
    odd.frames(9000, 300).key(true, false, SDLK_F10, SDL_SCANCODE_F10);
    odd.post(other_window, WM_SIZE, 0, 0).set_timer(other_window, 2, 10).forget(other_window);
    odd.post(show_window, WM_QUIT, 3, 0).loop(6);
    seeds.emplace_back("odd_messages", odd.bytes);
    return seeds;
}

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> wav_seeds() {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> seeds;
    seeds.emplace_back("mono8.wav", WavBuilder()
                                        .riff()
                                        .fmt(1, 1, 8000, 8)
                                        .data({128, 160, 192, 160, 128, 96, 64, 96})
                                        .riff_size_fits()
                                        .build());
    seeds.emplace_back("stereo16.wav", WavBuilder()
                                           .riff()
                                           .fmt(1, 2, 44100, 16)
                                           .data({0, 0, 0, 0, 0xFF, 0x7F, 0x00, 0x80})
                                           .riff_size_fits()
                                           .build());
    // A LIST chunk of odd size with its pad byte before the format, and an odd data chunk last
    // without one.
    seeds.emplace_back("odd_chunks.wav", WavBuilder()
                                             .riff()
                                             .tag("LIST")
                                             .u32(3)
                                             .raw({'a', 'b', 'c', 0})
                                             .fmt(1, 1, 22050, 8)
                                             .data({1, 2, 3, 4, 5})
                                             .riff_size_fits()
                                             .build());
    // An 18-byte format chunk (with the extension size) and 16-bit mono.
    seeds.emplace_back("format18.wav", WavBuilder()
                                           .riff()
                                           .tag("fmt ")
                                           .u32(18)
                                           .u16(1)
                                           .u16(1)
                                           .u32(22050)
                                           .u32(44100)
                                           .u16(2)
                                           .u16(16)
                                           .u16(0)
                                           .data({0x10, 0x00, 0xF0, 0xFF})
                                           .riff_size_fits()
                                           .build());
    // The song's header as the program writes it (it declares the whole song), and the same
    // header made to declare 32 samples that follow it.
    const std::vector<std::uint8_t> header(wav_header_template,
                                           wav_header_template + WAV_HEADER_BYTES);
    seeds.emplace_back("song_header.wav", header);
    WavBuilder short_song;
    short_song.raw(header).raw(std::vector<std::uint8_t>(64, 0x40));
    short_song.set_u32(40, 64).riff_size_fits();
    seeds.emplace_back("song_short.wav", short_song.build());
    return seeds;
}

bool write_all(const std::filesystem::path& dir,
               const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& seeds) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "fuzz_seeds: cannot make %s\n", dir.string().c_str());
        return false;
    }
    for (const auto& [name, bytes] : seeds) {
        if (!write_file(dir / name, bytes)) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds <dir>\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    if (!write_all(dir / "window_messages", message_seeds()) ||
        !write_all(dir / "wav_image", wav_seeds())) {
        return 1;
    }
    return 0;
}
