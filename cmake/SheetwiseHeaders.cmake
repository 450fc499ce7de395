# Include directories. Every #include names a header by its path from the top
# of the tree ("platform/registry/Registry.h"), yet no target is given the top
# of the tree: each sees its own folder and what the targets it links export.
# A header of a module that a target does not link is then not found, and the
# build says so instead of compiling against it.
#
# A view is a folder under build/include that holds links to the shown
# folders and files at their paths from the top of the tree.

# sw_header_view(OUT NAME item...): the view build/include/NAME showing the
# items (folders or files, relative to the top of the tree); OUT receives its
# folder.
function(sw_header_view out name)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  foreach(item IN LISTS ARGN)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${item})
      message(FATAL_ERROR "No header or folder ${item} to show")
    endif()
    set(link ${root}/${item})
    if(NOT IS_SYMLINK ${link})
      get_filename_component(parent ${link} DIRECTORY)
      file(MAKE_DIRECTORY ${parent})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${item} ${link} SYMBOLIC)
    endif()
  endforeach()
  set(${out} ${root} PARENT_SCOPE)
endfunction()
