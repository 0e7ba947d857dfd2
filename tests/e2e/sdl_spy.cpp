// Loaded into the show with LD_PRELOAD by the end-to-end driver, it writes down in the file that
// SDL_SPY_LOG names what the driver cannot see from outside, each with the monotonic clock in
// seconds (the clock Python's time.monotonic() reads):
//   dialog <caption>|<text with line breaks as \n>|<buttons>   each message box shown
//   audio <rate> <channels> <samples> <bytes>                  the audio device opened: its rate,
//                                                              channels and buffer as SDL obtained
//   queue <first> <t>                                          samples queued: the first not 0
//   play <t>                                                   the sound starts: with SDL's dummy
//                                                              driver, the show's time 0
//   taken <bytes> <t>                                          SDL's audio thread took samples off
//                                                              the queue (the first 3 s, if asked)
//   frame <t>                                                  each frame begun (its first clear)
//   swap <t>                                                   each frame presented
//   fullscreen <flags> <t>                                     the window's fullscreen changed
//   close <t>                                                  the program reads a close request
//   key <down|up> <SDL key name> <t>                           the program reads a key event
//   quit <t>                                                   the program shuts SDL down
// and then does what SDL would have done.
#include <GL/gl.h>
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <string>
#include <thread>

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

extern "C" SDL_AudioDeviceID SDL_OpenAudioDevice(const char* device, int iscapture,
                                                 const SDL_AudioSpec* desired,
                                                 SDL_AudioSpec* obtained, int allowed_changes) {
    static const auto open =
        real<SDL_AudioDeviceID (*)(const char*, int, const SDL_AudioSpec*, SDL_AudioSpec*, int)>(
            "SDL_OpenAudioDevice");
    if (open == nullptr) {
        return 0;
    }
    // SDL fills in what it obtained whether or not the caller asks.
    SDL_AudioSpec got{};
    const SDL_AudioDeviceID id =
        open(device, iscapture, desired, obtained != nullptr ? obtained : &got, allowed_changes);
    if (id != 0) {
        const SDL_AudioSpec& spec = obtained != nullptr ? *obtained : got;
        note("audio " + std::to_string(spec.freq) + " " + std::to_string(spec.channels) + " " +
             std::to_string(spec.samples) + " " + std::to_string(spec.size));
    }
    return id;
}

Uint32 queued_bytes = 0;

// 16-bit samples are the song's; the first that is not silent lets a recording of the output be
// lined up with the show.
extern "C" int SDL_QueueAudio(SDL_AudioDeviceID device, const void* data, Uint32 bytes) {
    static const auto queue =
        real<int (*)(SDL_AudioDeviceID, const void*, Uint32)>("SDL_QueueAudio");
    const auto* samples = static_cast<const Sint16*>(data);
    long first = -1;
    for (Uint32 i = 0; samples != nullptr && i < bytes / 2; ++i) {
        if (samples[i] != 0) {
            first = static_cast<long>(i);
            break;
        }
    }
    note("queue " + std::to_string(first) + " " + std::to_string(now()));
    queued_bytes += bytes;
    return queue != nullptr ? queue(device, data, bytes) : -1;
}

extern "C" void SDL_PauseAudioDevice(SDL_AudioDeviceID device, int pause_on) {
    static const auto pause = real<void (*)(SDL_AudioDeviceID, int)>("SDL_PauseAudioDevice");
    if (pause_on == 0) {
        note("play " + std::to_string(now()));
    }
    if (pause != nullptr) {
        pause(device, pause_on);
    }
    if (pause_on == 0 && std::getenv("SDL_SPY_QUEUE") != nullptr) {
        std::thread([device] {
            const double start = now();
            const Uint32 queued = queued_bytes;
            Uint32 last = queued;
            while (now() < start + 3) {
                const Uint32 left = SDL_GetQueuedAudioSize(device);
                if (left != last) {
                    note("taken " + std::to_string(queued - left) + " " + std::to_string(now()));
                    last = left;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }).detach();
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
