# Warning and sanitizer flags, applied per target so third-party code is untouched.
add_library(sw_warnings INTERFACE)
target_compile_options(sw_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  # Implicit conversions that may change a value: the tree is free of them,
  # so a new one is a deliberate cast or a fault. GCC's set only: clang's
  # -Wconversion adds every signed/unsigned mix, which the Windows-style
  # interfaces (LONG sizes, UINT counts) are full of.
  $<$<CXX_COMPILER_ID:GNU>:-Wconversion>
  $<$<BOOL:${SW_WERROR}>:-Werror>)

if(SW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

include(SheetwiseHeaders)

# sw_warn(target [EXPORTS header-or-folder ...]): every project target gets the
# same warning set and sees the headers of its own folder; a library shows the
# targets that link it its folder, or only the headers named after EXPORTS.
function(sw_warn target)
  cmake_parse_arguments(ARG "" "" "EXPORTS" ${ARGN})
  target_link_libraries(${target} PRIVATE sw_warnings)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "." view "${folder}")
  sw_header_view(own ${view} ${folder})
  get_target_property(type ${target} TYPE)
  if(ARG_EXPORTS)
    sw_header_view(exported ${target} ${ARG_EXPORTS})
    target_include_directories(${target} PRIVATE ${own} PUBLIC $<BUILD_INTERFACE:${exported}>)
  elseif(type MATCHES "LIBRARY$")
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${own}>)
  else()
    target_include_directories(${target} PRIVATE ${own})
  endif()
endfunction()
