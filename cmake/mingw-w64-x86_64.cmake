# Cross-build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64).
# Test programs run under Wine (Debian: wine64) through CTest's emulator, in a
# throw-away Wine prefix inside the build folder.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(HUEVANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

set(HUEVANE_WINE /usr/lib/wine/wine64)
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR AND EXISTS ${HUEVANE_WINE})
  # WINEDLLOVERRIDES keeps Wine from looking for its .NET and HTML engines.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
      "WINEDLLOVERRIDES=mscoree,mshtml=" ${HUEVANE_WINE})
endif()
