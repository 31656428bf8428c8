# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=toolchains/mingw-w64-x86_64.cmake
# Libraries come from the prefix scripts/win-deps.sh fills (CRV_WIN_DEPS,
# default build-win/deps, or the prefix of the Windows package this file
# was installed with) and from the toolchain's own folder (zlib).
# Programs are linked -static so that they need no DLL of the toolchain, and
# run through Wine wherever CMake or CTest runs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(crv_triplet x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${crv_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${crv_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${crv_triplet}-windres)

if(NOT CRV_WIN_DEPS)
  if(DEFINED ENV{CRV_WIN_DEPS})
    set(CRV_WIN_DEPS $ENV{CRV_WIN_DEPS})
  elseif(EXISTS "${CMAKE_CURRENT_LIST_DIR}/../../../lib/cmake/Corvane/CorvaneConfig.cmake")
    # Installed with a Windows package of Corvane (share/corvane/toolchains):
    # the package and its libraries are in the prefix it belongs to.
    get_filename_component(CRV_WIN_DEPS "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
  else()
    get_filename_component(CRV_WIN_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-win/deps" ABSOLUTE)
  endif()
endif()
set(CRV_WIN_DEPS "${CRV_WIN_DEPS}" CACHE PATH "Prefix of the libraries built for Windows")
# try_compile projects read this file again and need the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CRV_WIN_DEPS)

# Packages and libraries are looked for only below these folders: the
# libraries' prefix, the prefixes the user names (CMAKE_PREFIX_PATH, for
# packages installed elsewhere) and the toolchain's own folder.
set(CMAKE_FIND_ROOT_PATH ${CRV_WIN_DEPS} ${CMAKE_PREFIX_PATH} /usr/${crv_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not hand out the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${CRV_WIN_DEPS}/lib/pkgconfig:${CRV_WIN_DEPS}/share/pkgconfig:/usr/${crv_triplet}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# zlib also comes as a DLL import library; the static one keeps zlib1.dll
# out of the programs' imports.
set(ZLIB_USE_STATIC_LIBS ON CACHE BOOL "")

# Static C and C++ run-times and winpthread.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Programs built here run under Wine (tests through CTest, and the tools
# that make and pack the arcade example's media while building). Test lists
# are read when the tests run, not while building, so that of the rest of
# the build only that example needs a Wine prefix.
find_program(CRV_WINE NAMES wine wine64)
if(CRV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CRV_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# This target builds the Windows backend unless told otherwise.
set(CRV_PLATFORM win32 CACHE STRING "Platform backend (sdl, win32)")
