# While several people edit the tree at once, a file named in a CMakeLists
# before it is written should not stop everyone's build: with this option such
# files are left out with a warning. Off by default, so a clean build fails.
option(TARNWICK_TOLERATE_MISSING_SOURCES "Leave out listed sources that do not exist" OFF)
function(tarnwick_existing_sources out)
  set(kept "")
  foreach(src ${ARGN})
    if(TARNWICK_TOLERATE_MISSING_SOURCES AND NOT IS_ABSOLUTE ${src} AND NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${src})
      message(WARNING "left out, not there yet: ${CMAKE_CURRENT_SOURCE_DIR}/${src}")
    else()
      list(APPEND kept ${src})
    endif()
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()

# tarnwick_core_library(NAME src...): one subsystem of the Qt-free core.
# Every core library is recorded so that tarnwick_core links them all and the
# no-Qt test can read their sources.
function(tarnwick_core_library name)
  tarnwick_existing_sources(srcs ${ARGN})
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  set_property(GLOBAL APPEND PROPERTY TARNWICK_CORE_LIBRARIES ${name})
endfunction()

# tarnwick_test(NAME SOURCES src... LIBS lib... [FIXTURES fixture...]): a
# GoogleTest program whose cases CTest runs one by one.
function(tarnwick_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;FIXTURES;LABELS" ${ARGN})
  tarnwick_existing_sources(T_SOURCES ${T_SOURCES})
  if(NOT T_SOURCES)
    return()
  endif()
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

# tarnwick_program_allocator(TARGET): the program takes its malloc and free
# from mimalloc. The library is linked even though no symbol of the program
# names it: being loaded before libc is what puts its malloc in place.
function(tarnwick_program_allocator target)
  if(TARGET mimalloc AND TARNWICK_MIMALLOC AND NOT TARNWICK_SANITIZE AND NOT TARNWICK_FUZZ)
    target_link_libraries(${target} PRIVATE "-Wl,--push-state,--no-as-needed" mimalloc "-Wl,--pop-state")
  endif()
endfunction()
