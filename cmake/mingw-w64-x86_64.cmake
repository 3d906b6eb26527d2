# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads,
# which std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
if(DEFINED ZARVEX_WINDOWS_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${ZARVEX_WINDOWS_QT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The host's pkg-config would hand us Linux libraries.
set(PKG_CONFIG_EXECUTABLE "" CACHE FILEPATH "" FORCE)
# One file per program: no libstdc++, libgcc or winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
