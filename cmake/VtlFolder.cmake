# vtl_add_folder(<folder> [SHARED] [DEPS <targets>...])
#
# Every folder of the architecture becomes one library target named
# vtl_<folder with / replaced by _> from the *.cpp files directly in it
# (an INTERFACE library when it has headers only). Its tests/ subfolder
# becomes one GoogleTest executable <last folder name>_tests, registered with
# CTest. Test files named *_concurrency_test.cpp are also the folder's
# ThreadSanitizer binary <name>_tsan_tests when VTL_TSAN is on; in that
# configuration nothing else is built by default. Every test executable joins
# the target vtl_tests (see the top-level CMakeLists.txt). <folder>/tests/tests.cmake,
# when present, is included with ${test_target} set.
#
# Platform folders build as shared libraries (one window table, one registry
# for the host program and the plug-in); the others are static and
# position-independent so that the plug-in library can take them in.
function(vtl_add_folder folder)
  cmake_parse_arguments(ARG "SHARED" "" "DEPS" ${ARGN})
  set(dir ${PROJECT_SOURCE_DIR}/${folder})
  if(NOT EXISTS ${dir})
    return()
  endif()
  string(REPLACE "/" "_" target_suffix ${folder})
  set(target vtl_${target_suffix})
  get_filename_component(short_name ${folder} NAME)

  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  file(GLOB extra_cmake CONFIGURE_DEPENDS ${dir}/folder.cmake)

  set(deps)
  foreach(dep IN LISTS ARG_DEPS)
    if(TARGET ${dep})
      list(APPEND deps ${dep})
    endif()
  endforeach()

  set(exclude)
  if(VTL_TSAN)
    set(exclude EXCLUDE_FROM_ALL)
  endif()

  if(sources)
    if(ARG_SHARED OR folder MATCHES "^platform/")
      add_library(${target} SHARED ${exclude} ${sources} ${headers})
    else()
      add_library(${target} STATIC ${exclude} ${sources} ${headers})
    endif()
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} PUBLIC ${deps})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
    target_link_libraries(${target} INTERFACE ${deps})
  endif()

  # A folder may add system libraries or generated sources of its own.
  if(extra_cmake)
    include(${extra_cmake})
  endif()

  file(GLOB test_sources CONFIGURE_DEPENDS ${dir}/tests/*.cpp)
  if(NOT test_sources)
    return()
  endif()
  file(GLOB test_support CONFIGURE_DEPENDS ${dir}/tests/support/*.cpp)
  if(VTL_TSAN)
    list(FILTER test_sources INCLUDE REGEX "_concurrency_test\\.cpp$")
    if(NOT test_sources)
      return()
    endif()
    set(test_target ${short_name}_tsan_tests)
  else()
    set(test_target ${short_name}_tests)
  endif()
  add_executable(${test_target} ${test_sources} ${test_support} ${PROJECT_SOURCE_DIR}/cmake/test_process_registry.cpp)
  set_property(GLOBAL APPEND PROPERTY VTL_TEST_TARGETS ${test_target})
  target_include_directories(${test_target} PRIVATE ${dir}/tests)
  target_link_libraries(${test_target} PRIVATE ${target} GTest::gtest GTest::gmock GTest::gtest_main)
  # The tests' own sources are compiled for a quick build: the code under test
  # keeps the build's optimisation, and test bodies expanded from the test
  # macros cost most of the compile time at -O2 for nothing a test needs.
  if(VTL_TEST_SOURCE_FLAGS)
    target_compile_options(${test_target} PRIVATE ${VTL_TEST_SOURCE_FLAGS})
  endif()
  target_precompile_headers(${test_target} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  # A folder's tests may need extra libraries (oracles such as Eigen).
  if(EXISTS ${dir}/tests/tests.cmake)
    include(${dir}/tests/tests.cmake)
  endif()
  gtest_discover_tests(${test_target}
    DISCOVERY_MODE PRE_TEST
    TEST_PREFIX "${short_name}."
    PROPERTIES TIMEOUT 300)
endfunction()
