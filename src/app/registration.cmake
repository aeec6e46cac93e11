# Registration: the switch phase's steps, the registry script, the type library and the desktop
# integration files, which are built into the program so that "RegServer" can install them.

find_program(QUILLOMAR_RSVG_CONVERT rsvg-convert)
if(NOT QUILLOMAR_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert (Debian package librsvg2-bin) renders the icons: run scripts/setup-deps.sh")
endif()

set(QUILLOMAR_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(QUILLOMAR_ICON_SIZES 16 32 48 256)

# Icon 207 at every size the desktop asks for, rendered from the one drawing.
set(_quillomar_pngs)
foreach(size IN LISTS QUILLOMAR_ICON_SIZES)
  set(png ${PROJECT_BINARY_DIR}/data/icons/quillomar-${size}.png)
  add_custom_command(
    OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/data/icons
    COMMAND ${QUILLOMAR_RSVG_CONVERT} --width=${size} --height=${size} --format=png
            --output=${png} ${QUILLOMAR_DATA_DIR}/icons/quillomar.svg
    DEPENDS ${QUILLOMAR_DATA_DIR}/icons/quillomar.svg
    COMMENT "Rendering icon at ${size} px"
    VERBATIM)
  list(APPEND _quillomar_pngs ${png})
endforeach()

set(_quillomar_embedded
  ${QUILLOMAR_DATA_DIR}/quillomar.desktop
  ${QUILLOMAR_DATA_DIR}/quillomar-mime.xml
  ${QUILLOMAR_DATA_DIR}/org.quillomar.quillomar.metainfo.xml
  ${QUILLOMAR_DATA_DIR}/icons/quillomar.svg
  ${_quillomar_pngs})
set(_quillomar_embedded_cpp ${CMAKE_CURRENT_BINARY_DIR}/registration_files.cpp)
string(REPLACE ";" "|" _quillomar_embedded_arg "${_quillomar_embedded}")
add_custom_command(
  OUTPUT ${_quillomar_embedded_cpp}
  COMMAND ${CMAKE_COMMAND} "-DFILES=${_quillomar_embedded_arg}" -DOUTPUT=${_quillomar_embedded_cpp}
          -P ${PROJECT_SOURCE_DIR}/cmake/embed-files.cmake
  DEPENDS ${_quillomar_embedded} ${PROJECT_SOURCE_DIR}/cmake/embed-files.cmake
  COMMENT "Building the desktop integration files into the program"
  VERBATIM)

target_sources(quillomar_app PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/registration.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/registration_desktop.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/registration_script.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/registration_typelib.cpp
  ${_quillomar_embedded_cpp})
