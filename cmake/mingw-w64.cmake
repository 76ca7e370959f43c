# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix threads), against the
# libraries scripts/windows-toolchain builds into its cache folder:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# TOLVEX_WIN_PREFIX (a cache variable, or the environment variable of the same name) names the
# folder with Qt and QCustomPlot for Windows; ~/.cache/tolvex-win/prefix by default.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVEX_MINGW x86_64-w64-mingw32)
# The -posix compilers: std::thread and std::mutex work, and the runtime DLLs match the ones
# the Qt libraries were built with.
set(CMAKE_C_COMPILER ${TOLVEX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVEX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVEX_MINGW}-windres)

if(NOT TOLVEX_WIN_PREFIX)
  if(DEFINED ENV{TOLVEX_WIN_PREFIX})
    set(TOLVEX_WIN_PREFIX "$ENV{TOLVEX_WIN_PREFIX}")
  else()
    set(TOLVEX_WIN_PREFIX "$ENV{HOME}/.cache/tolvex-win/prefix")
  endif()
endif()
set(TOLVEX_WIN_PREFIX "${TOLVEX_WIN_PREFIX}" CACHE PATH "Qt and QCustomPlot built for Windows")

set(CMAKE_FIND_ROOT_PATH /usr/${TOLVEX_MINGW} "${TOLVEX_WIN_PREFIX}")
set(CMAKE_PREFIX_PATH "${TOLVEX_WIN_PREFIX}")
# Programs (moc, rcc, uic, wine) are the build machine's; libraries and headers the target's.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs the built executables through Wine, with the libraries above on Wine's path.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(TOLVEX_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run" ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${TOLVEX_WINE_RUN};--prefix;${TOLVEX_WIN_PREFIX}")
endif()
