# Cross build for 64-bit Windows with MinGW-w64 (posix threads), linked
# statically so that zira.exe needs no DLL beside it. scripts/build-windows
# installs the compilers and builds libdeflate, SQLite and GoogleTest into
# ZIRA_WINDOWS_DEPS.
#   cmake -S . -B build-windows/zira -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZIRA_MINGW_HOST x86_64-w64-mingw32)

# The -posix compilers give std::thread and std::mutex (through winpthreads).
set(CMAKE_C_COMPILER ${ZIRA_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIRA_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${ZIRA_MINGW_HOST}-windres)
set(CMAKE_AR ${ZIRA_MINGW_HOST}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZIRA_MINGW_HOST}-gcc-ranlib-posix CACHE FILEPATH "")

# This file is read again for every try_compile, where only the environment
# carries over, so the prefix comes from there or from this file's place.
if(DEFINED ENV{ZIRA_WINDOWS_DEPS})
  set(ZIRA_WINDOWS_DEPS $ENV{ZIRA_WINDOWS_DEPS})
else()
  get_filename_component(ZIRA_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps ABSOLUTE)
endif()

# Libraries and headers come from MinGW's own tree (zlib) and the private
# prefix (libdeflate, SQLite, GoogleTest), never from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ZIRA_MINGW_HOST} ${ZIRA_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

# pkg-config must not offer the build machine's libraries either.
set(ENV{PKG_CONFIG_LIBDIR} ${ZIRA_WINDOWS_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here (tests, generators) run under 64-bit Wine, quietly and
# in a Wine prefix of their own (the one scripts/build-windows makes).
find_program(ZIRA_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(ZIRA_WINE64)
  get_filename_component(ZIRA_WINEPREFIX ${ZIRA_WINDOWS_DEPS}/../wine ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      WINEPREFIX=${ZIRA_WINEPREFIX} WINELOADER=${ZIRA_WINE64} ${ZIRA_WINE64})
endif()
