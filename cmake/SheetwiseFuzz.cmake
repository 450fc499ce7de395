# sw_add_fuzzer(NAME SOURCES a.cpp LIBS x CORPUS dir)
# The source defines LLVMFuzzerTestOneInput. With SW_FUZZ (clang) it becomes a
# libFuzzer binary build-fuzz/fuzz/NAME; otherwise, with tests on, a replay
# program runs it over every file of CORPUS as a CTest test, so the seeds and
# every saved crash input run in the normal and the sanitizer builds too.
if(SW_FUZZ)
  # Coverage feedback must reach into the libraries, not only the fuzz entry points.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

function(sw_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(SW_FUZZ)
    add_executable(${name} ${ARG_SOURCES})
    sw_warn(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    file(APPEND ${CMAKE_BINARY_DIR}/fuzz/targets.txt "${name} ${ARG_CORPUS}\n")
  elseif(SW_TESTS)
    add_executable(${name}_replay ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
    sw_warn(${name}_replay)
    target_link_libraries(${name}_replay PRIVATE ${ARG_LIBS})
    set_target_properties(${name}_replay PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name}_replays_corpus COMMAND ${name}_replay ${ARG_CORPUS})
  endif()
endfunction()
