# Each folder of src/ is a layer, built as one library that links only the
# layers it may use. A layer's headers are reachable only through its own
# include root, which holds a link to that folder alone, so an include from a
# layer that is not among a library's dependencies fails to compile.
function(pasavel_layer folder)
  cmake_parse_arguments(LAYER "" "ROOT" "SOURCES;DEPENDS" ${ARGN})
  if(NOT LAYER_ROOT)
    set(LAYER_ROOT ${PROJECT_SOURCE_DIR}/src)
  endif()
  string(REPLACE "-" "_" library "pasavel_${folder}")
  set(includeRoot ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${includeRoot})
  file(CREATE_LINK ${LAYER_ROOT}/${folder} ${includeRoot}/${folder} SYMBOLIC)
  add_library(${library} STATIC ${LAYER_SOURCES})
  target_include_directories(${library} PUBLIC ${includeRoot})
  target_link_libraries(${library} PUBLIC ${LAYER_DEPENDS})
endfunction()
