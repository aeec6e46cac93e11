# Include roots that enforce the layers.
#
# Sources include headers by their folder ("platform/fileio.h", "archive/podarchive.h"). Instead of
# handing every target the whole src/ folder as include root, each folder gets a root of its own in
# the build tree that holds only a link to it: build/include/platform/platform -> src/platform.
# A target sees that root through linking the folder's target, so a layer can include exactly the
# layers it links, and an include of a higher layer fails to compile.

# quillomar_layer_headers(TARGET FOLDER): TARGET publishes src/FOLDER's headers as "FOLDER/...".
function(quillomar_layer_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  elseif(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
