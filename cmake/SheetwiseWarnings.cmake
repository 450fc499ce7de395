# Warning and sanitizer flags, applied per target so third-party code is untouched.
add_library(sw_warnings INTERFACE)
target_compile_options(sw_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${SW_WERROR}>:-Werror>)

if(SW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# sw_warn(target): every project target gets the same warning set.
function(sw_warn target)
  target_link_libraries(${target} PRIVATE sw_warnings)
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
endfunction()
