# The content window's benchmark: built on request (bench/content_window.sh), never by default and
# never run by ctest.
add_executable(content_window_bench EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/content_window_bench.cpp)
set_target_properties(content_window_bench PROPERTIES AUTOMOC OFF)
target_link_libraries(content_window_bench PRIVATE quillomar_ui quillomar_viewer Qt6::Widgets Qt6::Test)
