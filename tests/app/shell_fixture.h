// Puts the shell's process-wide state and the stand-ins back to the start of a run, so that each
// test sees a fresh process.
#pragma once

#include "app/window.h"
#include "audio/song.h"
#include "show/scenes.h"
#include "tests/support/fake_win32.h"
#include "tests/support/gl_recorder.h"
#include "tests/support/show_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fake_win32::reset();
        gl_recorder::reset();
        instance_handle = nullptr;
        window_handle = nullptr;
        device_context = nullptr;
        gl_context = nullptr;
        fullscreen = false;
        pixel_format_desc = PIXELFORMATDESCRIPTOR{};
        quadric_main = nullptr;
        quadric_ring = nullptr;
        quadric_sphere = nullptr;
        reset_show_state();
        startup_finished = false;
        song_buffer = nullptr;
        sample_data = nullptr;
    }

    void TearDown() override {
        // The program never frees the image; the tests do, so that runs do not pile up.
        std::free(song_buffer);
        song_buffer = nullptr;
        sample_data = nullptr;
        fake_win32::reset();
    }

    static std::vector<std::string> names_from(int first) {
        std::vector<std::string> names;
        for (std::size_t i = static_cast<std::size_t>(first); i < fake_win32::calls.size(); ++i) {
            names.push_back(fake_win32::calls[i].name);
        }
        return names;
    }

    static std::vector<std::string> names() {
        return names_from(0);
    }

    static std::intptr_t as_int(const void* pointer) {
        return reinterpret_cast<std::intptr_t>(pointer);
    }
};
