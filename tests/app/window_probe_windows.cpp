// window-probe.exe, run in the Wine prefix of the window under test:
//   window-probe.exe rect    prints "LEFT TOP WIDTH HEIGHT SCREEN_WIDTH SCREEN_HEIGHT" of the window
//                            of class "VornmarkWindowClass" titled "Vornmark v1.3 - CPU Benchmark"
//   window-probe.exe close   posts WM_CLOSE to that window
// Exit code 0 on success, 1 when there is no such window.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HWND window = ::FindWindowW(L"VornmarkWindowClass", L"Vornmark v1.3 - CPU Benchmark");
    if (!window) {
        std::fprintf(stderr, "window-probe: no Vornmark window\n");
        return 1;
    }
    if (std::strcmp(argv[1], "close") == 0) return ::PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    RECT rect{};
    if (!::GetWindowRect(window, &rect)) return 1;
    std::printf("%ld %ld %ld %ld %d %d\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    return 0;
}
