# vt_add_module(NAME SOURCES ... [LIBS ...])
#   One object library per module, with the alias vt::NAME. Platform modules
#   are gathered into libvtplatform.so; program modules are linked into the
#   programs and into their tests.
function(vt_add_module name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(vt_${name} OBJECT ${ARG_SOURCES})
  add_library(vt::${name} ALIAS vt_${name})
  target_include_directories(vt_${name} PUBLIC ${CMAKE_SOURCE_DIR}/platform/include
                                               ${CMAKE_SOURCE_DIR})
  if(ARG_LIBS)
    target_link_libraries(vt_${name} PUBLIC ${ARG_LIBS})
  endif()
endfunction()

# vt_add_test(NAME SOURCES ... [LIBS ...] [TIMEOUT seconds] [LABELS ...])
#   A GoogleTest executable in ${CMAKE_BINARY_DIR}/tests with the shared test
#   main (watchdog, a system root of its own per test), registered with CTest.
function(vt_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT VT_TESTS)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/platform/include
                                             ${CMAKE_SOURCE_DIR}/platform/testing
                                             ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vt_test_main vtplatform GTest::gtest)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                       ENVIRONMENT "VT_OUT=${VT_OUT};VT_SOURCE=${CMAKE_SOURCE_DIR}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# vt_add_program(NAME OUTPUT_NAME SOURCES/LIBS): an executable in the output
# folder, entered through the platform's main, which calls WinMain.
function(vt_add_program name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/platform/include ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} vt_main vtplatform)
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME})
  endif()
endfunction()
