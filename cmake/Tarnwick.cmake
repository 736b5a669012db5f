# tarnwick_core_library(NAME src...): one subsystem of the Qt-free core.
# Every core library is recorded so that tarnwick_core links them all and the
# no-Qt test can read their sources.
function(tarnwick_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_property(GLOBAL APPEND PROPERTY TARNWICK_CORE_LIBRARIES ${name})
endfunction()

# tarnwick_test(NAME SOURCES src... LIBS lib... [FIXTURES fixture...]): a
# GoogleTest program whose cases CTest runs one by one.
function(tarnwick_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tw_test_support GTest::gmock GTest::gtest_main)
  set(props ENVIRONMENT "TARNWICK_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
  if(T_FIXTURES)
    list(APPEND props FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()
