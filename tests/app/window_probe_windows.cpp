// window-probe.exe, run in the Wine prefix of the window under test, acts on the window of class
// "VornmarkWindowClass" titled "Vornmark v1.3 - CPU Benchmark":
//   window-probe.exe rect          prints "LEFT TOP WIDTH HEIGHT SCREEN_WIDTH SCREEN_HEIGHT"
//   window-probe.exe client        prints the client area's "WIDTH HEIGHT"
//   window-probe.exe close         posts WM_CLOSE
//   window-probe.exe minimize      minimises it (ShowWindow), restore restores it
//   window-probe.exe sizes W H ... posts one WM_SIZE for each pair while the window's thread is
//                                  suspended, so that all of them arrive before its next frame
// Exit code 0 on success, 1 when there is no such window, 2 for a command it does not know.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HWND window = ::FindWindowW(L"VornmarkWindowClass", L"Vornmark v1.3 - CPU Benchmark");
    if (!window) {
        std::fprintf(stderr, "window-probe: no Vornmark window\n");
        return 1;
    }
    const auto command = [&](const char* name) { return std::strcmp(argv[1], name) == 0; };
    if (command("close")) return ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (command("minimize")) return ::ShowWindow(window, SW_MINIMIZE), 0;
    if (command("restore")) return ::ShowWindow(window, SW_RESTORE), 0;
    if (command("sizes")) {
        HANDLE thread =
            ::OpenThread(THREAD_SUSPEND_RESUME, FALSE, ::GetWindowThreadProcessId(window, nullptr));
        if (!thread || ::SuspendThread(thread) == static_cast<DWORD>(-1)) return 1;
        bool posted = true;
        for (int i = 2; i + 1 < argc; i += 2)
            posted = posted && ::PostMessageW(window, WM_SIZE, SIZE_RESTORED,
                                              MAKELPARAM(std::atoi(argv[i]), std::atoi(argv[i + 1])));
        ::ResumeThread(thread);
        ::CloseHandle(thread);
        return posted ? 0 : 1;
    }
    RECT rect{};
    if (command("client")) {
        if (!::GetClientRect(window, &rect)) return 1;
        std::printf("%ld %ld\n", rect.right, rect.bottom);
        return 0;
    }
    if (!command("rect")) return 2;
    if (!::GetWindowRect(window, &rect)) return 1;
    std::printf("%ld %ld %ld %ld %d %d\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    return 0;
}
