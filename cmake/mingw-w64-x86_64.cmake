# Cross-building the Windows program on Linux with MinGW-w64 (64-bit, POSIX threads, so
# std::thread and std::jthread work). Everything is linked statically: the .exe files need no
# MinGW DLLs beside them. Tests run under Wine, each test program in a Wine prefix of its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORNMARK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORNMARK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNMARK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNMARK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORNMARK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Header-only dependencies are staged in the build tree (see cmake/windows_dependencies.cmake).
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs each Windows test program through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
