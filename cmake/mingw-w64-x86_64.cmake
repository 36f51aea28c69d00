# Cross build for 64-bit Windows with MinGW-w64. Every program is linked
# statically so that it runs on a bare Windows (or wine) without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The posix thread model gives the tests std::thread and std::mutex; linked
# statically, nothing of it shows as a DLL.
#
# Source files are UTF-8; the strings in the binary are Shift-JIS (code page
# 932), which is what the ANSI functions of a Japanese Windows expect. Two
# standard headers cannot be compiled that way: <chrono> and <format> hold a
# micro sign, which has no Shift-JIS form. Code of the windows build does not
# include them (GetTickCount64 and Sleep serve instead).
#
# Every function has a section of its own and the linker drops the ones
# nothing calls, so that a program carries only the parts of the static
# libraries that it uses. Not -fdata-sections: with it this linker writes
# zero-filled data into the file instead of leaving it to the loader.
set(CMAKE_C_FLAGS_INIT   "-finput-charset=UTF-8 -fexec-charset=CP932 -ffunction-sections")
set(CMAKE_CXX_FLAGS_INIT "-finput-charset=UTF-8 -fexec-charset=CP932 -ffunction-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")

# Test programs run under wine, each suite in a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
