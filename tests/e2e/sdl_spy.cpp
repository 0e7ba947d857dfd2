// Loaded into the show with LD_PRELOAD by the end-to-end driver, it writes down in the file that
// SDL_SPY_LOG names what the driver cannot see from outside, each with the monotonic clock in
// seconds (the clock Python's time.monotonic() reads):
//   dialog <caption>|<text with line breaks as \n>|<buttons>   each message box shown
//   play <t>                                                   the sound starts: the show's time 0
//   frame <t>                                                  each frame begun (its first clear)
//   swap <t>                                                   each frame presented
//   fullscreen <flags> <t>                                     the window's fullscreen changed
//   close <t>                                                  the program reads a close request
//   key <down|up> <SDL key name> <t>                           the program reads a key event
//   quit <t>                                                   the program shuts SDL down
// and then does what SDL would have done.
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <string>

namespace {

std::FILE* spy_log() {
    static std::FILE* log = [] {
        const char* const path = std::getenv("SDL_SPY_LOG");
        return path != nullptr ? std::fopen(path, "a") : nullptr;
    }();
    return log;
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The program may leave through _Exit: every line is flushed at once.
void note(const std::string& line) {
    if (std::FILE* log = spy_log()) {
        std::fputs(line.c_str(), log);
        std::fputc('\n', log);
        std::fflush(log);
    }
}

template <typename Function> Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string escaped(const char* text) {
    std::string out;
    for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c) {
        out += *c == '\n' ? std::string("\\n") : std::string(1, *c);
    }
    return out;
}

} // namespace

extern "C" int SDL_ShowMessageBox(const SDL_MessageBoxData* data, int* button) {
    static const auto show = real<int (*)(const SDL_MessageBoxData*, int*)>("SDL_ShowMessageBox");
    if (data != nullptr) {
        note("dialog " + escaped(data->title) + "|" + escaped(data->message) + "|" +
             std::to_string(data->numbuttons));
    }
    return show != nullptr ? show(data, button) : -1;
}

extern "C" void SDL_PauseAudioDevice(SDL_AudioDeviceID device, int pause_on) {
    static const auto pause = real<void (*)(SDL_AudioDeviceID, int)>("SDL_PauseAudioDevice");
    if (pause_on == 0) {
        note("play " + std::to_string(now()));
    }
    if (pause != nullptr) {
        pause(device, pause_on);
    }
}

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    static const auto swap = real<void (*)(SDL_Window*)>("SDL_GL_SwapWindow");
    note("swap " + std::to_string(now()));
    if (swap != nullptr) {
        swap(window);
    }
}

// The program begins each frame by reading its clock and clearing its picture's colour and depth;
// the layer's own clear (the black around a scaled picture) leaves the depth alone.
extern "C" void glClear(GLbitfield mask) {
    static const auto clear = real<void (*)(GLbitfield)>("glClear");
    if ((mask & GL_DEPTH_BUFFER_BIT) != 0) {
        note("frame " + std::to_string(now()));
    }
    if (clear != nullptr) {
        clear(mask);
    }
}

extern "C" int SDL_SetWindowFullscreen(SDL_Window* window, Uint32 flags) {
    static const auto set = real<int (*)(SDL_Window*, Uint32)>("SDL_SetWindowFullscreen");
    note("fullscreen " + std::to_string(flags) + " " + std::to_string(now()));
    return set != nullptr ? set(window, flags) : -1;
}

extern "C" int SDL_PollEvent(SDL_Event* event) {
    static const auto poll = real<int (*)(SDL_Event*)>("SDL_PollEvent");
    const int found = poll != nullptr ? poll(event) : 0;
    if (found != 0 && event != nullptr) {
        if ((event->type == SDL_WINDOWEVENT && event->window.event == SDL_WINDOWEVENT_CLOSE) ||
            event->type == SDL_QUIT) {
            note("close " + std::to_string(now()));
        } else if (event->type == SDL_KEYDOWN || event->type == SDL_KEYUP) {
            note(std::string("key ") + (event->type == SDL_KEYDOWN ? "down " : "up ") +
                 SDL_GetKeyName(event->key.keysym.sym) + " " + std::to_string(now()));
        }
    }
    return found;
}

extern "C" void SDL_Quit(void) {
    static const auto quit = real<void (*)(void)>("SDL_Quit");
    note("quit " + std::to_string(now()));
    if (quit != nullptr) {
        quit();
    }
}
