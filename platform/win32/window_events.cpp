#include "platform/win32/window_events.h"

namespace win32 {

bool size_report(SizeEvent event, int width, int height, bool maximized, Window* window,
                 SizeReport* out) {
    switch (event) {
    case SizeEvent::resized:
        if (window->covers_screen || window->minimized ||
            (width == window->client_width && height == window->client_height)) {
            return false;
        }
        window->client_width = width;
        window->client_height = height;
        *out =
            SizeReport{maximized ? WPARAM{SIZE_MAXIMIZED} : WPARAM{SIZE_RESTORED}, width, height};
        return true;
    case SizeEvent::minimized:
        if (window->minimized) {
            return false;
        }
        window->minimized = true;
        *out = SizeReport{SIZE_MINIMIZED, 0, 0};
        return true;
    case SizeEvent::restored:
    case SizeEvent::maximized:
        if (!window->minimized) {
            return false;
        }
        window->minimized = false;
        *out = SizeReport{event == SizeEvent::maximized ? WPARAM{SIZE_MAXIMIZED}
                                                        : WPARAM{SIZE_RESTORED},
                          window->client_width, window->client_height};
        return true;
    }
    return false;
}

} // namespace win32
