# sw_add_test(NAME SOURCES a.cpp b.cpp LIBS x y [LABELS l] [ENV K=V ...])
# One GoogleTest executable per module; CTest discovers each TEST separately.
include(GoogleTest)
function(sw_add_test name)
  if(NOT SW_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  sw_warn(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    SW_SOURCE_DIR="${PROJECT_SOURCE_DIR}" SW_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "${ARG_ENV}")
endfunction()
