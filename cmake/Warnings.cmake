# Warnings for the project's own targets (not for third-party headers).
function(orizume_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
endfunction()

# One GoogleTest executable.
#   orizume_gtest(NAME name SOURCES a.cpp b.cpp LIBS lib... [QT] [LABELS l...])
# QT: link the shared main that creates a QApplication (tests run offscreen).
function(orizume_gtest)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  orizume_warnings(${T_NAME})
  target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  if(T_QT)
    target_sources(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/qt_test_main.cpp)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Qt6::Test)
  else()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  set(labels ${T_LABELS})
  if(NOT labels)
    set(labels unit)
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_TIMEOUT 60)
  # A list given in PROPERTIES is flattened by gtest_discover_tests, so the
  # labels and the environment (ORIZUME_TEST_ENVIRONMENT) are set by a script
  # that ctest reads after the discovered tests.
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_labels.cmake")
  file(WRITE "${script}"
    "if(${T_NAME}_TESTS)\n"
    "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES LABELS \"${labels}\"\n"
    "                      ENVIRONMENT \"${ORIZUME_TEST_ENVIRONMENT}\")\n"
    "endif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
endfunction()
