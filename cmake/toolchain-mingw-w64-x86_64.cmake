# Cross build for 64-bit Windows with Debian's mingw-w64 (GCC, posix threading model, so that
# std::thread and std::mutex exist). The runtime is linked statically: the .exe files need no
# MinGW DLLs beside them. Tests run under Wine through scripts/wine-run, in a prefix of the build
# folder's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRELVO_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRELVO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRELVO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TRELVO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRELVO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR
  ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --prefix ${CMAKE_BINARY_DIR}/wine-prefix)
