// The capture's backend of the Win32 layer (platform/win32/backend.h), on which the unchanged
// show renders without a screen, as fast as it can, into a capture's outputs; and what the
// capture tool asks of it.
//
// - No window on screen: the layer's windows get their messages as on any host, but have no
//   window of the host's own. The display is virtual: every mode up to 65535 x 65535 is there.
// - GL from Mesa through EGL on its surfaceless platform (llvmpipe unless LIBGL_ALWAYS_SOFTWARE
//   says otherwise): the program draws into framebuffer objects of the window's client size
//   with the colour and depth bits its pixel format asks for (RGB565 and 16-bit depth for 16-bit
//   colour), two of them by turns. SwapBuffers starts rasterising the finished frame and reads
//   the one before back for the sink, so that the rasterising runs beside the next frame's work;
//   the last frame reaches the sink when the capture ends. Frames the sink will not take are not
//   drawn at all (gl_gate.h).
// - A virtual clock, read by GetTickCount, that stands still except between frames: it starts at
//   0 and, when the program asks for a message and none is waiting, moves to the next frame's
//   time (platform/win32/frame_clock.h) and delivers WM_TIMER once for every timer. Nothing is
//   dropped and nothing depends on how fast the machine is.
// - sndPlaySoundA hands the WAV image to the sink instead of playing it.
// - MessageBoxA keeps its text for the capture's own error message (message_boxes()) and
//   answers with the default button: no one is there to press one.
// - ExitProcess, and the sink's request to stop, let the sink finish its outputs before the
//   process ends with the exit code the sink returns.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace capture {

// How a capture came to its end.
enum class End {
    show_exited,      // the program called ExitProcess: the end of the show
    sink_stopped,     // the sink had all it wanted
    program_returned, // the program's entry returned, e.g. after a failed start-up
};

// Where the show's sound and pictures go. Each method that returns false stops the capture.
class Sink {
  public:
    virtual ~Sink() = default;
    // The WAV image handed to sndPlaySoundA, `bytes` long (its RIFF size plus 8). It stays valid
    // until the process ends: the show never frees it.
    virtual bool take_sound(const std::uint8_t* image, std::size_t bytes) = 0;
    // Whether the sink will take the picture of frame `index`. Asked as the frame begins; a frame
    // it will not take is worked out by the program but not drawn (platform/headless/gl_gate.h).
    virtual bool wants_picture(std::int64_t index) = 0;
    // A finished frame: `bgr` holds width x height pixels of 8-bit blue, green and red (the byte
    // order of Windows' bitmaps, and the one ffmpeg turns into video fastest), the top row first,
    // or is null when the frame was not drawn. `index` counts the frames from 0, and
    // show_time_ms is the clock it was drawn at.
    virtual bool take_frame(std::int64_t index, std::int64_t show_time_ms, const std::uint8_t* bgr,
                            int width, int height) = 0;
    // Finishes the outputs; returns the process's exit code. `show_exit_code` is ExitProcess's
    // argument when the show exited, the program's result when it returned, 0 otherwise.
    virtual int finish(End end, int show_exit_code) = 0;
};

// Sets the sink and the frame rate (1 to win32::max_fps). Call once, before the program's entry.
void start(Sink* sink, int fps);

// Lets the sink finish, then ends the process with the code it returns.
[[noreturn]] void end(End how, int show_exit_code);

// Why the GL could not be set up, when it could not; empty otherwise.
const std::string& gl_error();

// The texts of the message boxes the program has shown, oldest first, each on one line.
const std::vector<std::string>& message_boxes();

} // namespace capture
