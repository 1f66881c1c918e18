# Cross build of the product: 64-bit Windows DLLs (PE32+) with the MinGW-w64 x86-64
# toolchain (Debian package g++-mingw-w64-x86-64). Used by the `windows64` preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(ZMD_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZMD_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ZMD_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${ZMD_MINGW_TRIPLET}-windres)

# Headers and libraries come from the target's sysroot only; programs run on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZMD_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
