# One library per folder, and includes that follow the layers.
#
# zov_library(<name> <sources>...) makes the static library of the folder it
# is called from. Its headers are included as "<folder>/<file>.h" (for
# example "link/Channel.h"), and only by targets that link the library: the
# folder is reached through an include directory of the library's own in the
# build tree, never through the source root, so an include of a library that
# is not linked (an include against the layers) fails to compile.
function(zov_library name)
  add_library(${name} STATIC ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${root})
endfunction()
