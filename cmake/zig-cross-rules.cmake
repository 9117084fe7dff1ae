# Rules of cmake/zig-cross.cmake that replace the platform's own.

# Archives (only the compiler checks make one) with zig's archiver, which writes the index.
set(CMAKE_CXX_CREATE_STATIC_LIBRARY "\"${RALO_UI_ZIG}\" ar qcs <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_CREATE "\"${RALO_UI_ZIG}\" ar qcs <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_APPEND "\"${RALO_UI_ZIG}\" ar qs <TARGET> <LINK_FLAGS> <OBJECTS>")
set(CMAKE_CXX_ARCHIVE_FINISH "")

# zig's Mach-O linker cannot write a bundle (-bundle makes an executable, and crashes with
# -undefined dynamic_lookup): the macOS module is a dynamic library, which the interpreter's
# importer loads the same way.
if(APPLE)
  set(CMAKE_SHARED_MODULE_CREATE_CXX_FLAGS "-shared")
endif()
