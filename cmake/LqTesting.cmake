# Test helpers shared by every tests/<area>/CMakeLists.txt.
find_package(GTest REQUIRED)
include(GoogleTest)

# lq_add_gtest(<name> SOURCES ... LIBS ... [LABELS ...])
# One executable per area; every test case becomes its own ctest entry.
function(lq_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} lq_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # The discovered tests take one label; several are joined ("db-thread"), and `ctest -L`
  # matches its regular expression against any part of it.
  string(JOIN "-" labels ${ARG_LABELS})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES LABELS "${labels}"
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LQ_SOURCE_DIR=${CMAKE_SOURCE_DIR};LQ_BINARY_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy"
               TIMEOUT 300)
endfunction()

# lq_add_qtest(<name> SOURCES ... LIBS ... [LABELS ...]): a QtTest executable (widgets, offscreen).
function(lq_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} lq_testsupport Qt6::Test Qt6::Widgets)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LQ_SOURCE_DIR=${CMAKE_SOURCE_DIR};LQ_BINARY_DIR=${CMAKE_BINARY_DIR};SDL_AUDIODRIVER=dummy"
    TIMEOUT 300)
endfunction()
