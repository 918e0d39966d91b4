# vt_add_module(NAME SOURCES ... [LIBS ...])
#   One object library per module, with the alias vt::NAME. Platform modules
#   are gathered into libvtplatform.a; program modules are linked into the
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

# vt_program_folder(NAME [EXCLUDE file ...] [TEST_TIMEOUT s])
#   A folder of the program: its *.cpp (except *_test.cpp and EXCLUDE) become
#   the object library vt_NAME, which joins libvtprogram.a; its *_test.cpp
#   become the test executable NAME_tests, which links the whole program
#   library, so any module's test can use any other module.
function(vt_program_folder name)
  cmake_parse_arguments(ARG "" "TEST_TIMEOUT" "EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(tests)
    list(REMOVE_ITEM sources ${tests})
  endif()
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    vt_add_module(${name} SOURCES ${sources})
    set_property(GLOBAL APPEND PROPERTY VT_PROGRAM_MODULES vt_${name})
  endif()
  if(tests)
    set_property(GLOBAL APPEND PROPERTY VT_PROGRAM_TESTS ${name})
    set_property(GLOBAL PROPERTY VT_PROGRAM_TEST_SOURCES_${name} ${tests})
    if(NOT ARG_TEST_TIMEOUT)
      set(ARG_TEST_TIMEOUT 300)
    endif()
    set_property(GLOBAL PROPERTY VT_PROGRAM_TEST_TIMEOUT_${name} ${ARG_TEST_TIMEOUT})
  endif()
endfunction()

# Called once after every folder is added: libvtprogram.a from all program
# modules, and the program folders' test executables.
function(vt_finish_program)
  get_property(modules GLOBAL PROPERTY VT_PROGRAM_MODULES)
  if(NOT modules)
    return()
  endif()
  set(objects)
  foreach(module ${modules})
    list(APPEND objects $<TARGET_OBJECTS:${module}>)
  endforeach()
  add_library(vtprogram STATIC ${objects})
  target_include_directories(vtprogram PUBLIC ${CMAKE_SOURCE_DIR}/platform/include ${CMAKE_SOURCE_DIR})
  target_link_libraries(vtprogram PUBLIC vtplatform)
  get_property(testdirs GLOBAL PROPERTY VT_PROGRAM_TESTS)
  foreach(name ${testdirs})
    get_property(sources GLOBAL PROPERTY VT_PROGRAM_TEST_SOURCES_${name})
    get_property(timeout GLOBAL PROPERTY VT_PROGRAM_TEST_TIMEOUT_${name})
    vt_add_test(${name}_tests SOURCES ${sources}
                LIBS "$<LINK_LIBRARY:WHOLE_ARCHIVE,vtprogram>" TIMEOUT ${timeout})
  endforeach()
endfunction()
