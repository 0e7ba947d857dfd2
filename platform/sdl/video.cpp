// The desktop's windows: SDL's video started on first use, a window of SDL's for each of the
// layer's, the display a virtual mode may use, the cursor and the screen saver.
#include "platform/sdl/sdl.h"

#include <algorithm>

namespace {

enum class Video { untried, running, failed };
Video video = Video::untried;

// What the layer's cursor counter asks for, applied once there is video.
bool cursor_shown = true;

constexpr int sdl_window_position_limit = 16384;

void apply_cursor() {
    if (video == Video::running) {
        SDL_ShowCursor(cursor_shown ? SDL_ENABLE : SDL_DISABLE);
    }
}

void set_window_gl_attributes() {
    // The window's own surface only receives the finished picture; the program draws into a
    // framebuffer of the pixel format's depths. These are minimums, and serve the program
    // directly where there are no framebuffer objects.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

} // namespace

namespace sdl {

void prepare() {
    // Ctrl+C and SIGTERM end the process at once, as they would any program; the X server takes
    // the window away.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The screen saver stays on unless the window procedure refuses it.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
}

bool video_ready() {
    if (video == Video::untried) {
        video = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? Video::running : Video::failed;
        // SDL falls back on drivers that draw to no screen at all; they count as a display only
        // when asked for by name.
        const char* driver = SDL_GetCurrentVideoDriver();
        const char* wanted = SDL_getenv("SDL_VIDEODRIVER");
        if (video == Video::running && driver != nullptr &&
            (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0) &&
            (wanted == nullptr || SDL_strcasecmp(wanted, driver) != 0)) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            video = Video::failed;
        }
        if (video == Video::running && driver != nullptr && SDL_strcmp(driver, "x11") == 0) {
            keep_x_errors_non_fatal();
        }
        if (video == Video::running) {
            // Keys only, no text input method.
            SDL_StopTextInput();
            apply_cursor();
        }
    }
    return video == Video::running;
}

bool video_running() {
    return video == Video::running;
}

} // namespace sdl

namespace backend {

bool display_size(int* width, int* height) {
    SDL_DisplayMode desktop;
    if (!sdl::video_ready() || SDL_GetDesktopDisplayMode(0, &desktop) != 0) {
        return false;
    }
    *width = desktop.w;
    *height = desktop.h;
    return true;
}

bool create_window(win32::Window& window, const char* title, int x, int y) {
    if (!sdl::video_ready()) {
        return false;
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (window.style & WS_POPUP) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    if (window.style & WS_THICKFRAME) {
        flags |= SDL_WINDOW_RESIZABLE;
    }
    if (window.covers_screen) {
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    set_window_gl_attributes();
    window.native = SDL_CreateWindow(
        title, std::clamp(x, -sdl_window_position_limit, sdl_window_position_limit),
        std::clamp(y, -sdl_window_position_limit, sdl_window_position_limit),
        std::max(window.client_width, 1), std::max(window.client_height, 1), flags);
    apply_cursor();
    return window.native != nullptr;
}

void destroy_window(win32::Window& window) {
    // Destroying a window that covers the screen also gives the screen back.
    SDL_DestroyWindow(sdl::window_of(window));
    window.native = nullptr;
}

void change_window(win32::Window& window, win32::WindowChange change) {
    SDL_Window* sdl_window = sdl::window_of(window);
    switch (change) {
    case win32::WindowChange::show:
        SDL_ShowWindow(sdl_window);
        break;
    case win32::WindowChange::hide:
        SDL_HideWindow(sdl_window);
        break;
    case win32::WindowChange::raise:
        SDL_RaiseWindow(sdl_window);
        break;
    case win32::WindowChange::minimize:
        SDL_MinimizeWindow(sdl_window);
        break;
    case win32::WindowChange::maximize:
        SDL_MaximizeWindow(sdl_window);
        break;
    case win32::WindowChange::restore:
        SDL_RestoreWindow(sdl_window);
        break;
    case win32::WindowChange::uncover:
        // The popup stops covering the screen and becomes a borderless window of its own size.
        SDL_SetWindowFullscreen(sdl_window, 0);
        SDL_SetWindowSize(sdl_window, std::max(window.client_width, 1),
                          std::max(window.client_height, 1));
        break;
    }
}

void show_cursor(bool shown) {
    cursor_shown = shown;
    apply_cursor();
}

void allow_screen_saver(bool allowed) {
    if (allowed) {
        SDL_EnableScreenSaver();
    } else {
        SDL_DisableScreenSaver();
    }
}

} // namespace backend
