// Errors the X server reports. Xlib's own handler ends the process with code 1 on the first one;
// SDL guards only some of its requests with handlers of its own. A server that refuses a GL
// context, for one, does so with an error while SDL is still probing its GL library. Reported on
// standard error and passed over instead, the failure reaches the program as a call that failed.
#include "platform/sdl/sdl.h"

#include <X11/Xlib.h>

#include <cstdio>

namespace {

int reported_errors = 0;
constexpr int error_report_limit = 3;

int report_x_error(Display* display, XErrorEvent* error) {
    if (reported_errors < error_report_limit) {
        char text[160] = {};
        XGetErrorText(display, error->error_code, text, sizeof text);
        std::fprintf(stderr, "display: the X server refused request %d.%d (%s)%s\n",
                     error->request_code, error->minor_code, text,
                     reported_errors + 1 == error_report_limit ? "; further errors not shown" : "");
        std::fflush(stderr);
    }
    ++reported_errors;
    return 0;
}

} // namespace

namespace sdl {

void keep_x_errors_non_fatal() {
    XSetErrorHandler(report_x_error);
}

} // namespace sdl
