# Run by CPack once the package's files are staged: every file installed
# under /etc is a configuration file the administrator may change, which
# dpkg keeps across upgrades. Lists them in the control file "conffiles".
file(GLOB_RECURSE sw_etc_files RELATIVE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}"
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/etc/*")
set(sw_conffiles "")
foreach(sw_file IN LISTS sw_etc_files)
  string(APPEND sw_conffiles "/${sw_file}\n")
endforeach()
file(WRITE "${CPACK_SW_CONFFILES}" "${sw_conffiles}")
# Without any, the package has no "conffiles" at all.
if(sw_conffiles STREQUAL "")
  list(REMOVE_ITEM CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CPACK_SW_CONFFILES}")
endif()
