# The Windows build's share of the top-level set-up (WIN32, cross-built with
# cmake/toolchain-mingw64.cmake).
#
# CLI11 and nlohmann-json are header-only; their Debian packages install them for the build
# machine under /usr/include. The cross compiler must not see the rest of that folder (the Linux C
# library's headers), so each package's own folder is linked into a root of its own.
set(_quillomar_host_include /usr/include CACHE PATH "Where the header-only CLI11 and nlohmann-json are installed")
set(_quillomar_third_party ${PROJECT_BINARY_DIR}/include/third-party)
file(MAKE_DIRECTORY ${_quillomar_third_party})
foreach(folder CLI nlohmann)
  if(NOT EXISTS ${_quillomar_host_include}/${folder})
    message(FATAL_ERROR "${_quillomar_host_include}/${folder} is missing: run scripts/setup-deps.sh")
  endif()
  file(CREATE_LINK ${_quillomar_host_include}/${folder} ${_quillomar_third_party}/${folder} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${_quillomar_third_party})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${_quillomar_third_party})

# Wide Windows API (CreateFileW, ...) throughout, a Vista or later system (CompareStringEx).
# The C99 printf family (%zu, %lld) of mingw-w64 rather than the system runtime's older one.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 __USE_MINGW_ANSI_STDIO=1)
# The programs carry their runtime: libgcc, libstdc++ and winpthread linked statically.
add_link_options(-static -static-libgcc -static-libstdc++)

# Programs of this build run under Wine (tests, and `build-windows/wine-run PROGRAM.exe ...` by
# hand) through a wrapper that keeps a Wine prefix inside the build folder.
if(CMAKE_CROSSCOMPILING)
  find_program(QUILLOMAR_WINE NAMES wine wine64 REQUIRED)
  find_program(QUILLOMAR_WINEBOOT NAMES wineboot REQUIRED)
  find_program(QUILLOMAR_WINESERVER NAMES wineserver REQUIRED)
  set(QUILLOMAR_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                  WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run)
endif()
