# The content window's logic: no Qt, controls addressed by id through a DialogHost.
add_library(quillomar_viewer STATIC
  ${CMAKE_CURRENT_LIST_DIR}/entryrow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/contentwindow.cpp
)
target_link_libraries(quillomar_viewer PUBLIC quillomar)

# The application layer's content window hook (src/app/contentwindowhook.cpp) builds this logic;
# the application library, defined after this folder, links it once every folder is read.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL target_link_libraries quillomar_app PUBLIC quillomar_viewer)
