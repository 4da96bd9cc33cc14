# One static library per folder, made of every .cpp in that folder (not its
# subfolders), so that adding a class needs no edit of the build files.
function(tavrine_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SYSTEM" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(srcs)
    add_library(${name} STATIC ${srcs})
  else()
    add_library(${name} INTERFACE)
  endif()
  get_target_property(kind ${name} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} ${ARG_SYSTEM})
  else()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} ${ARG_SYSTEM})
  endif()
endfunction()

# One GoogleTest executable per library: every .cpp of tests/<folder>.
# ENV adds NAME=VALUE entries to the environment of its tests.
function(tavrine_test_suite name)
  cmake_parse_arguments(ARG "" "" "DEPS;ENV" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} tavrine_testsupport GTest::gtest_main GTest::gmock)
  set(env "TAVRINE_SOURCE_DIR=${PROJECT_SOURCE_DIR}" "TAVRINE_BINARY_DIR=${PROJECT_BINARY_DIR}" ${ARG_ENV})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "${env}")
endfunction()
