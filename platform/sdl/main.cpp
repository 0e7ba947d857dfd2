// The process entry on Linux: hands over to the program's WinMain as Windows' start-up would.
#include "platform/sdl/sdl.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    // The show itself takes no command line; this alone is answered before it starts.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("solid-objects %s\n", SOLID_VERSION);
        return 0;
    }
    sdl::prepare();
    // The command line after the program's name.
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            command_line += ' ';
        }
        command_line += argv[i];
    }
    const int result = WinMain(GetModuleHandleA(nullptr), nullptr, command_line.data(), SW_SHOW);
    // What the C runtime does with WinMain's result.
    ExitProcess(static_cast<UINT>(result));
}
