# Shared part of the MinGW-w64 toolchain files; HUEVANE_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix compilers provide std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${HUEVANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HUEVANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HUEVANE_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${HUEVANE_MINGW_TRIPLE}-objdump)

# Libraries and headers come from the cross sysroot only, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${HUEVANE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained binaries: the C++ runtime, libgcc and winpthread are linked in,
# so the DLL and the test programs need only the DLLs that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
