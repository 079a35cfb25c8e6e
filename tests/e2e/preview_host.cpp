// preview_host.cpp: stands in for the screen-saver settings dialog under Wine. It opens a 320 x 240
// window titled "Velmorade preview host" and starts the saver given on its command line with
// /p and that window's handle. Once the window is closed it waits for the saver to end and
// returns the saver's exit status, or 2 if the saver is still running 2 s later.
#include <windows.h>

#include <cstdint>
#include <cstdio>

static LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1; // the saver paints the whole client area
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR saver, int)
{
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = host_proc;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.lpszClassName = "VelmoradePreviewHost";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, window_class.lpszClassName, "Velmorade preview host", WS_POPUP | WS_VISIBLE, 0, 0,
                                  320, 240, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 3;

    char command[MAX_PATH + 64];
    std::snprintf(command, sizeof command, "\"%s\" /p %llu", saver,
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 3;

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (WaitForSingleObject(process.hProcess, 2000) != WAIT_OBJECT_0)
        return 2;
    DWORD status = 3;
    GetExitCodeProcess(process.hProcess, &status);
    return static_cast<int>(status);
}
