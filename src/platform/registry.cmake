# The registry store that stands in for the system registry in the switch phase.
target_sources(quillomar_platform PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/registry.cpp)
