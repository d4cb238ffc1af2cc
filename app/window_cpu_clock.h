#pragma once

namespace vornmark::app {

// The processor time the window costs the machine: the whole process's less what the
// benchmark's workers use. Software OpenGL renders on threads of its own, so the GUI
// thread's time alone would undercount; time spent waiting for the display counts nothing.
// One at a time: it follows the workers through WorkerPool's process-wide thread observer.
class WindowCpuClock {
public:
    WindowCpuClock();
    ~WindowCpuClock();
    WindowCpuClock(const WindowCpuClock&) = delete;
    WindowCpuClock& operator=(const WindowCpuClock&) = delete;

    // Seconds since the process started; only differences mean something.
    double seconds() const;
};

}  // namespace vornmark::app
