# 64-bit Windows from Linux with Debian's mingw-w64 (the POSIX-thread variant, for std::thread and
# std::mutex). Programs are linked with the C and C++ runtimes and winpthread inside, so the .exe
# files run on a clean Windows without extra DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_quillomar_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_quillomar_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_quillomar_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_quillomar_triplet}-windres)

# Libraries and headers come from the target's root only; the header-only packages (CLI11,
# nlohmann-json) are found through their arch-independent CMake files (CMakeLists.txt).
set(CMAKE_FIND_ROOT_PATH /usr/${_quillomar_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run under Wine: cmake/windows.cmake sets the emulator to a wrapper with a prefix of its own.
