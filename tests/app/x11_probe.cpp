// Small X11 tool for the window tests, run inside the test's Xvfb:
//   x11_probe close <window-id>                 asks the window to close, as a window manager would
//   x11_probe wait-colour <window-id> R G B ms  waits until a pixel of that colour shows in the window
// Exit code 0 on success, 1 otherwise.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

int send_close(Display* display, Window window) {
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(delete_window);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    return 0;
}

bool window_shows(Display* display, Window window, unsigned long r, unsigned long g, unsigned long b) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) {
        return false;
    }
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    bool found = false;
    for (int y = 0; y < image->height && !found; ++y) {
        for (int x = 0; x < image->width && !found; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            found = ((pixel >> 16) & 0xFF) == r && ((pixel >> 8) & 0xFF) == g && (pixel & 0xFF) == b;
        }
    }
    XDestroyImage(image);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: x11_probe close|wait-colour <window-id> ...\n");
        return 1;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11_probe: no display\n");
        return 1;
    }
    const Window window = std::strtoul(argv[2], nullptr, 0);
    int rc = 1;
    if (std::strcmp(argv[1], "close") == 0) {
        rc = send_close(display, window);
    } else if (std::strcmp(argv[1], "wait-colour") == 0 && argc == 7) {
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[6]));
        while (std::chrono::steady_clock::now() < deadline) {
            if (window_shows(display, window, std::strtoul(argv[3], nullptr, 0),
                             std::strtoul(argv[4], nullptr, 0), std::strtoul(argv[5], nullptr, 0))) {
                rc = 0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    XCloseDisplay(display);
    return rc;
}
