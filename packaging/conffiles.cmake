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
