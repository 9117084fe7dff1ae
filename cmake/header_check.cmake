# Every raster header compiled on its own, as the only include of an otherwise empty unit: each
# one carries its own includes.  The units are written into the build tree.
file(GLOB_RECURSE raster_headers CONFIGURE_DEPENDS ${SHAPES_DIR}/raster/*.hpp)
set(units "")
foreach(header IN LISTS raster_headers)
  file(RELATIVE_PATH name ${SHAPES_DIR} ${header})
  string(REGEX REPLACE "[/.]" "_" name ${name})
  set(unit ${CMAKE_CURRENT_BINARY_DIR}/header_check/${name}.cpp)
  file(CONFIGURE OUTPUT ${unit} CONTENT "#include \"${header}\"\n")
  list(APPEND units ${unit})
endforeach()
add_library(fast_shapes_raster_headers OBJECT ${units})
target_link_libraries(fast_shapes_raster_headers PRIVATE fast_shapes_flags)
set_target_properties(fast_shapes_raster_headers PROPERTIES CXX_EXTENSIONS OFF)
