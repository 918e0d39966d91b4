# vt_add_fuzzer(NAME SOURCES ... [LIBS ...] [SECONDS s] [MAX_LEN bytes])
#   A libFuzzer target in ${CMAKE_BINARY_DIR}/tests, built with the
#   sanitizers of the build, and a CTest case that runs it for SECONDS from
#   the seeds/ folder beside its CMakeLists.txt. New inputs go to a corpus
#   folder in the build tree, never the sources. VT_FUZZ_SECONDS in the
#   environment runs every fuzzer longer (`make fuzz`). The sources named
#   here are compiled into the fuzzer with coverage; the rest of what they
#   call comes from the libraries.
include_guard(GLOBAL)

function(vt_add_fuzzer name)
  cmake_parse_arguments(ARG "" "SECONDS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                        ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE
                             ${CMAKE_SOURCE_DIR}/platform/include
                             ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vtplatform)
  if(NOT VT_TESTS)
    return()
  endif()
  if(NOT ARG_SECONDS)
    set(ARG_SECONDS 10)
  endif()
  if(NOT ARG_MAX_LEN)
    set(ARG_MAX_LEN 1024)
  endif()
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name}
           COMMAND ${CMAKE_SOURCE_DIR}/service/fuzz/run_fuzzer.sh ${ARG_SECONDS}
                   $<TARGET_FILE:${name}> -max_len=${ARG_MAX_LEN}
                   ${corpus} ${CMAKE_CURRENT_SOURCE_DIR}/seeds)
  # run_fuzzer.sh keeps its own time limit, which follows VT_FUZZ_SECONDS.
  set_tests_properties(${name} PROPERTIES TIMEOUT 0 LABELS fuzz)
endfunction()
