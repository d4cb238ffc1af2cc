# Dependencies of the Windows cross build, all from Debian packages:
# - nlohmann-json and stb are header-only; their headers are staged in the build tree, because
#   putting /usr/include on the cross compiler's path would mix Linux system headers in;
# - stb's image writer is compiled here (on Linux, libstb holds it);
# - GoogleTest is built from the sources of Debian's googletest package.
set(VORNMARK_DEPS_DIR ${CMAKE_BINARY_DIR}/deps)
file(MAKE_DIRECTORY ${VORNMARK_DEPS_DIR}/include)
foreach(header_dir nlohmann stb)
  if(NOT EXISTS /usr/include/${header_dir})
    message(FATAL_ERROR "/usr/include/${header_dir} is missing: run scripts/setup.sh")
  endif()
  file(CREATE_LINK /usr/include/${header_dir} ${VORNMARK_DEPS_DIR}/include/${header_dir} SYMBOLIC)
endforeach()

# find_package(nlohmann_json) finds this configuration instead of the host's.
file(WRITE ${VORNMARK_DEPS_DIR}/nlohmann_json/nlohmann_jsonConfig.cmake
  "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
  "  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)\n"
  "  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
  "    INTERFACE_INCLUDE_DIRECTORIES ${VORNMARK_DEPS_DIR}/include)\n"
  "endif()\n")
file(READ /usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake nlohmann_version_file)
file(WRITE ${VORNMARK_DEPS_DIR}/nlohmann_json/nlohmann_jsonConfigVersion.cmake "${nlohmann_version_file}")
set(nlohmann_json_DIR ${VORNMARK_DEPS_DIR}/nlohmann_json CACHE PATH "" FORCE)

file(WRITE ${VORNMARK_DEPS_DIR}/stb_image_write.c
  "#define STB_IMAGE_WRITE_IMPLEMENTATION\n#include <stb/stb_image_write.h>\n")
add_library(stb STATIC ${VORNMARK_DEPS_DIR}/stb_image_write.c)
target_include_directories(stb SYSTEM PUBLIC ${VORNMARK_DEPS_DIR}/include)
set(STB_LIBRARY stb)

# localtime_r and gmtime_r from MinGW-w64's <time.h>.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# Dear ImGui with its Win32 and Direct3D 11 backends, from the source of Debian's imgui package
# that scripts/imgui-source.sh unpacks into the build tree (the same 1.86 as libimgui-dev).
if(VORNMARK_BUILD_GUI)
  file(GLOB imgui_candidates LIST_DIRECTORIES true ${CMAKE_BINARY_DIR}/imgui-src/imgui-*)
  list(FILTER imgui_candidates EXCLUDE REGEX "\\.(dsc|xz|gz)$")
  if(NOT imgui_candidates)
    message(FATAL_ERROR "No Dear ImGui source in ${CMAKE_BINARY_DIR}/imgui-src: run scripts/build-windows.sh")
  endif()
  list(GET imgui_candidates 0 VORNMARK_IMGUI_DIR)
  add_library(imgui STATIC
    ${VORNMARK_IMGUI_DIR}/imgui.cpp
    ${VORNMARK_IMGUI_DIR}/imgui_draw.cpp
    ${VORNMARK_IMGUI_DIR}/imgui_tables.cpp
    ${VORNMARK_IMGUI_DIR}/imgui_widgets.cpp
    ${VORNMARK_IMGUI_DIR}/backends/imgui_impl_win32.cpp
    ${VORNMARK_IMGUI_DIR}/backends/imgui_impl_dx11.cpp
  )
  # Included as <imgui.h> and <backends/imgui_impl_dx11.h>, as from libimgui-dev on Linux.
  target_include_directories(imgui SYSTEM PUBLIC ${VORNMARK_IMGUI_DIR})
  target_link_libraries(imgui PUBLIC d3d11 d3dcompiler dxgi dwmapi gdi32 imm32)
  target_compile_options(imgui PRIVATE -w)
  # The name the Linux build's pkg-config lookup gives it.
  add_library(PkgConfig::IMGUI ALIAS imgui)
endif()

# GoogleTest from the sources of Debian's googletest package, cross-built with the rest.
if(VORNMARK_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
