# Cross-build for 32-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-i686).
# Programs built with it cannot run on this machine; the DLL is checked by its
# export table (scripts/check_exports.sh).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HUEVANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
