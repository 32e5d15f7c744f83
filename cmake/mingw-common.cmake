# Shared part of the mingw-w64 toolchain files: expects MINGW_TRIPLE (i686-w64-mingw32 or
# x86_64-w64-mingw32). Prefers the posix-thread compilers, which provide std::thread.
set(CMAKE_SYSTEM_NAME Windows)

find_program(CMAKE_CXX_COMPILER NAMES ${MINGW_TRIPLE}-g++-posix ${MINGW_TRIPLE}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${MINGW_TRIPLE}-gcc-posix ${MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLE}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine, each build tree in its own prefix: this machine's wine, or the
# wine of an i386 root (cmake/wine32_root.sh) that sees the source and build folders at their
# own paths.
set(PAGEFIELDS_WINE32_ROOT "" CACHE PATH
  "i386 Debian root whose wine runs the test programs (empty: this machine's wine)")
set(wine_run ${CMAKE_CURRENT_LIST_DIR}/wine_run.sh ${CMAKE_BINARY_DIR}/wineprefix)
find_program(PAGEFIELDS_WINE wine)
if(PAGEFIELDS_WINE32_ROOT)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine32_root.sh run
    ${PAGEFIELDS_WINE32_ROOT} ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR} -- ${wine_run})
elseif(PAGEFIELDS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run})
endif()

# Windows does not keep the stack aligned for 32-byte vectors, and GCC may still spill AVX2
# registers with aligned moves there; the assembler makes every such move an unaligned one.
string(APPEND CMAKE_CXX_FLAGS_INIT " -Wa,-muse-unaligned-vector-move")
