# Cross-builds the Windows programs with mingw-w64 (Debian packages g++-mingw-w64-x86-64-posix
# and mingw-w64-x86-64-dev) and runs the built test programs under Wine (package wine64).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The programs land in build-win/bin/ as Lumtass.exe and Brevane.exe.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
# The -posix variants: their libstdc++ has std::thread and friends, which GoogleTest expects.
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, so the programs need no DLL beyond those every Windows has. (The programs
# link the program_entry target, which adds -municode for wmain; test programs keep main.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine's 64-bit loader, through a script that also keeps one Wine server
# running for all of them (see the script), in the build's own Wine prefix: never the user's.
# The tests stop that server when they end (tests/cases/CMakeLists.txt).
find_program(WINE64_PROGRAM NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine /opt/wine-stable/bin
             NO_CMAKE_FIND_ROOT_PATH)
if(WINE64_PROGRAM)
  set(WINE_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-emulator.sh)
  set(WINE_TEST_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${WINE_TEST_PREFIX}
      ${WINE_EMULATOR})
endif()
