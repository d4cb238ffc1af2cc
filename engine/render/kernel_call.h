#pragma once

// The calling convention of the kernel's hot calls (the hit tests, called once per object per
// ray): the same on every x86-64 platform. Win64's own keeps XMM6-XMM15 callee-saved and passes
// an Interval through memory, so each sphere test on Windows would save vector registers and
// copy its window; the System V convention passes the window in two registers and saves none.
// It changes how values travel, never what is computed: the image is the same byte for byte.
// On Windows, GCC gives such functions no unwind information: nothing may throw through them.
#if defined(__x86_64__)
#define KERNEL_CALL __attribute__((sysv_abi))
#else
#define KERNEL_CALL
#endif
