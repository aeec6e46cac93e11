# The packer window's logic: no Qt, controls addressed by id through a DialogHost.
add_library(quillomar_packer_window STATIC ${CMAKE_CURRENT_LIST_DIR}/packerwindow.cpp)
target_link_libraries(quillomar_packer_window PUBLIC quillomar quillomar_dialog)
