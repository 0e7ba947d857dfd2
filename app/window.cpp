#include "app/window.h"

HINSTANCE instance_handle = nullptr;
HWND window_handle = nullptr;
HDC device_context = nullptr;
HGLRC gl_context = nullptr;
bool fullscreen = false;
PIXELFORMATDESCRIPTOR pixel_format_desc = {};

namespace {

const char* const window_class_name = "OpenGL";

const UINT class_style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
const DWORD windowed_ex_style = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
const DWORD windowed_style = WS_OVERLAPPEDWINDOW;
const DWORD fullscreen_ex_style = WS_EX_APPWINDOW;
const DWORD fullscreen_style = WS_POPUP;

const UINT_PTR frame_timer_id = 0;
const UINT frame_timer_ms = 10;

const UINT error_box = MB_OK | MB_ICONEXCLAMATION;
const UINT shutdown_box = MB_OK | MB_ICONINFORMATION;

void report_error(const char* text) {
    MessageBoxA(nullptr, text, "ERROR", error_box);
}

void report_shutdown_error(const char* text) {
    MessageBoxA(nullptr, text, "SHUTDOWN ERROR", shutdown_box);
}

// A failure once the window exists: take everything down again, then tell the user.
bool fail_after_window(const char* text) {
    close_window();
    report_error(text);
    return false;
}

void fill_pixel_format_desc(int bits) {
    pixel_format_desc = PIXELFORMATDESCRIPTOR{};
    pixel_format_desc.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    pixel_format_desc.nVersion = 1;
    pixel_format_desc.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pixel_format_desc.iPixelType = PFD_TYPE_RGBA;
    pixel_format_desc.cColorBits = static_cast<BYTE>(bits);
    pixel_format_desc.cDepthBits = 16;
    pixel_format_desc.iLayerType = PFD_MAIN_PLANE;
}

} // namespace

bool open_window(const char* title, int width, int height, int bits, bool fullscreen_choice) {
    RECT rectangle{0, 0, width, height};
    fullscreen = fullscreen_choice;
    instance_handle = GetModuleHandleA(nullptr);

    WNDCLASSA window_class{};
    window_class.style = class_style;
    window_class.lpfnWndProc = window_proc;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = instance_handle;
    window_class.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = nullptr;
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = window_class_name;
    if (RegisterClassA(&window_class) == 0) {
        report_error("Failed To Register The Window Class.");
        return false;
    }

    if (fullscreen) {
        DEVMODEA mode{};
        mode.dmSize = sizeof(DEVMODEA);
        mode.dmPelsWidth = static_cast<DWORD>(width);
        mode.dmPelsHeight = static_cast<DWORD>(height);
        mode.dmBitsPerPel = static_cast<DWORD>(bits);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) {
            if (MessageBoxA(nullptr,
                            "The Requested Fullscreen Mode Is Not Supported By\nYour Video "
                            "Card. Use Windowed Mode Instead?",
                            "Kelo GL", MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
                fullscreen = false;
            } else {
                MessageBoxA(nullptr, "Program Will Now Close.", "ERROR", MB_OK | MB_ICONSTOP);
                return false;
            }
        }
    }

    DWORD ex_style = windowed_ex_style;
    DWORD style = windowed_style;
    if (fullscreen) {
        ShowCursor(FALSE);
        ex_style = fullscreen_ex_style;
        style = fullscreen_style;
    }

    // Grow the rectangle to the outer size that leaves a client area of width by height.
    AdjustWindowRectEx(&rectangle, style, FALSE, ex_style);

    window_handle = CreateWindowExA(
        ex_style, window_class_name, title, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
        rectangle.right - rectangle.left, rectangle.bottom - rectangle.top, nullptr, nullptr,
        instance_handle, nullptr);
    if (window_handle == nullptr) {
        return fail_after_window("Window Creation Error.");
    }

    SetTimer(window_handle, frame_timer_id, frame_timer_ms, nullptr);

    // The descriptor is filled once, with the colour depth of the first call that gets here.
    if (pixel_format_desc.nSize == 0) {
        fill_pixel_format_desc(bits);
    }

    device_context = GetDC(window_handle);
    if (device_context == nullptr) {
        return fail_after_window("Can't Create A GL Device Context.");
    }
    const int format = ChoosePixelFormat(device_context, &pixel_format_desc);
    if (format == 0) {
        return fail_after_window("Can't Find A Suitable PixelFormat.");
    }
    if (!SetPixelFormat(device_context, format, &pixel_format_desc)) {
        return fail_after_window("Can't Set The PixelFormat.");
    }
    gl_context = wglCreateContext(device_context);
    if (gl_context == nullptr) {
        return fail_after_window("Can't Create A GL Rendering Context.");
    }
    if (!wglMakeCurrent(device_context, gl_context)) {
        return fail_after_window("Can't Activate The GL Rendering Context.");
    }

    ShowWindow(window_handle, SW_SHOW);
    SetForegroundWindow(window_handle);
    SetFocus(window_handle);

    // The requested size, not the measured client area.
    resize_viewport(width, height);

    if (!init_gl_state()) {
        return fail_after_window("Initialization Failed.");
    }
    return true;
}

void close_window() {
    if (fullscreen) {
        // Back to the mode stored in the registry.
        ChangeDisplaySettingsA(nullptr, 0);
        ShowCursor(TRUE);
    }

    if (gl_context != nullptr) {
        if (!wglMakeCurrent(nullptr, nullptr)) {
            report_shutdown_error("Release Of DC And RC Failed.");
        }
        if (!wglDeleteContext(gl_context)) {
            report_shutdown_error("Release Rendering Context Failed.");
        }
        gl_context = nullptr;
    }

    if (device_context != nullptr && !ReleaseDC(window_handle, device_context)) {
        report_shutdown_error("Release Device Context Failed.");
    }

    if (window_handle != nullptr && !DestroyWindow(window_handle)) {
        report_shutdown_error("Could Not Release hWnd.");
    }

    if (!UnregisterClassA(window_class_name, instance_handle)) {
        report_shutdown_error("Could Not Unregister Class.");
    }
}

void resize_viewport(int width, int height) {
    if (height == 0) {
        height = 1;
    }
    glViewport(0, 0, width, height);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The near plane is the single-precision 0.1, widened.
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                   static_cast<double>(0.1f), 500.0);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool init_gl_state() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    return true;
}
