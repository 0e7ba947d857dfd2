#include "platform/win32/window_events.h"

namespace host {

bool size_report(const SDL_WindowEvent& event, bool maximized, Window* window, SizeReport* out) {
    switch (event.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (window->covers_screen || window->minimized ||
            (event.data1 == window->client_width && event.data2 == window->client_height)) {
            return false;
        }
        window->client_width = event.data1;
        window->client_height = event.data2;
        *out = SizeReport{maximized ? WPARAM{SIZE_MAXIMIZED} : WPARAM{SIZE_RESTORED}, event.data1,
                          event.data2};
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (window->minimized) {
            return false;
        }
        window->minimized = true;
        *out = SizeReport{SIZE_MINIMIZED, 0, 0};
        return true;
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_MAXIMIZED:
        if (!window->minimized) {
            return false;
        }
        window->minimized = false;
        *out = SizeReport{event.event == SDL_WINDOWEVENT_MAXIMIZED ? WPARAM{SIZE_MAXIMIZED}
                                                                   : WPARAM{SIZE_RESTORED},
                          window->client_width, window->client_height};
        return true;
    default:
        return false;
    }
}

} // namespace host
