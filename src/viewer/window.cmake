# The content window's logic: no Qt, controls addressed by id through a DialogHost.
add_library(quillomar_viewer STATIC
  ${CMAKE_CURRENT_LIST_DIR}/entryrow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/contentwindow.cpp
)
target_link_libraries(quillomar_viewer PUBLIC quillomar quillomar_dialog)

