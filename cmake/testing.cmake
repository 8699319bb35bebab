# Test and fuzz target helpers.

# One GoogleTest binary registered with CTest, one CTest entry per test case.
#   wavetrove_add_test(<name> SOURCES <file>... [LIBS <target>...] [OWN_MAIN] [RUNTIME <target>...]
#                      [DEPENDS <target>...] [NO_PRETTY_VALUES] [DISCOVERY_TIMEOUT <s>] [TIMEOUT <s>]
#                      [ENVIRONMENT <VAR=value>...] [LABELS <label>...])
# Links the shared test support and GoogleTest (with its main unless OWN_MAIN: the sources bring main()).
# RUNTIME names the add-ons and libraries the tests load from bin/ at run time; DEPENDS other targets that
# must be built first (programs the tests start).
function(wavetrove_add_test name)
  cmake_parse_arguments(T "OWN_MAIN;NO_PRETTY_VALUES" "DISCOVERY_TIMEOUT;TIMEOUT"
                        "SOURCES;LIBS;RUNTIME;DEPENDS;ENVIRONMENT;LABELS" ${ARGN})
  if(T_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "wavetrove_add_test(${name}): unknown arguments ${T_UNPARSED_ARGUMENTS}")
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} wavetrove_testsupport GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} wavetrove_testsupport GTest::gtest GTest::gtest_main)
  endif()
  if(T_RUNTIME OR T_DEPENDS)
    add_dependencies(${name} ${T_RUNTIME} ${T_DEPENDS})
  endif()
  if(NOT T_DISCOVERY_TIMEOUT)
    set(T_DISCOVERY_TIMEOUT 60)
  endif()
  set(properties "")
  if(T_TIMEOUT)
    list(APPEND properties TIMEOUT ${T_TIMEOUT})
  endif()
  if(T_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  set(pretty "")
  if(T_NO_PRETTY_VALUES)
    # Parameters print as indexes: pointers or raw records whose bytes differ between runs.
    set(pretty NO_PRETTY_VALUES)
  endif()
  if(properties)
    gtest_discover_tests(${name} ${pretty} DISCOVERY_TIMEOUT ${T_DISCOVERY_TIMEOUT} PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name} ${pretty} DISCOVERY_TIMEOUT ${T_DISCOVERY_TIMEOUT})
  endif()
endfunction()

# Fuzz entry points: a libFuzzer binary when WAVETROVE_FUZZ is on; the test suite always builds a plain
# driver over the same entry point and runs it on the seed corpus.
function(wavetrove_fuzz_target name)
  cmake_parse_arguments(F "" "SEEDS" "SOURCES;LIBS" ${ARGN})
  if(WAVETROVE_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  endif()
  if(WAVETROVE_TESTS AND NOT WAVETROVE_FUZZ)
    add_executable(${name}_seeds ${F_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/fuzz_driver.cpp)
    target_link_libraries(${name}_seeds PRIVATE ${F_LIBS})
    add_test(NAME ${name}_seeds COMMAND ${name}_seeds ${F_SEEDS})
  endif()
endfunction()
