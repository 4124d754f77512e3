# libFuzzer targets (ORIZUME_BUILD_FUZZERS, clang only).
#
#   orizume_fuzzer(NAME fuzz-x SOURCES a.cpp... [LIBS lib...] [SEEDS dir] [DICT file])
#
# The sources under test go into SOURCES, so that libFuzzer's coverage
# instrumentation reaches them; LIBS only supplies what the fuzzer calls around
# them. Each fuzzer gets a short ctest run (label "fuzz") that starts from its
# seed corpus and writes new inputs to <build>/fuzz-corpus/<name>; whatever
# crashes is kept in <build>/fuzz-artifacts/<name>/. <build>/fuzzers.txt lists
# the fuzzers for bench/fuzz-long; the target "fuzzers" builds them all.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ORIZUME_BUILD_FUZZERS needs clang (CXX=clang++)")
endif()

set(ORIZUME_FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
# The short run of every fuzzer in scripts/test.
set(ORIZUME_FUZZ_SMOKE_SECONDS 10 CACHE STRING "Seconds of each fuzzer's ctest run")
add_custom_target(fuzzers)

function(orizume_fuzzer)
  cmake_parse_arguments(F "" "NAME;SEEDS;DICT" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  set_target_properties(${F_NAME} PROPERTIES AUTOMOC OFF)
  target_include_directories(${F_NAME} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${F_NAME} PRIVATE ${ORIZUME_FUZZ_FLAGS})
  target_link_options(${F_NAME} PRIVATE ${ORIZUME_FUZZ_FLAGS})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  orizume_warnings(${F_NAME})
  add_dependencies(fuzzers ${F_NAME})

  set(corpus "${CMAKE_BINARY_DIR}/fuzz-corpus/${F_NAME}")
  set(artifacts "${CMAKE_BINARY_DIR}/fuzz-artifacts/${F_NAME}/")
  file(MAKE_DIRECTORY "${corpus}" "${artifacts}")
  set(options -rss_limit_mb=2048 -timeout=10 -artifact_prefix=${artifacts})
  if(F_DICT)
    list(APPEND options -dict=${F_DICT})
  endif()
  add_test(NAME ${F_NAME}_smoke
           COMMAND ${F_NAME} -max_total_time=${ORIZUME_FUZZ_SMOKE_SECONDS} ${options}
                   ${corpus} ${F_SEEDS})
  set_tests_properties(${F_NAME}_smoke PROPERTIES LABELS "fuzz")

  # name <tab> executable <tab> seeds <tab> dictionary, one fuzzer a line.
  set_property(GLOBAL APPEND PROPERTY ORIZUME_FUZZ_MANIFEST
               "${F_NAME}\t$<TARGET_FILE:${F_NAME}>\t${F_SEEDS}\t${F_DICT}\n")
endfunction()

# Writes <build>/fuzzers.txt; called once every fuzzer is defined.
function(orizume_write_fuzz_manifest)
  get_property(lines GLOBAL PROPERTY ORIZUME_FUZZ_MANIFEST)
  string(REPLACE ";" "" content "${lines}")
  file(GENERATE OUTPUT "${CMAKE_BINARY_DIR}/fuzzers.txt" CONTENT "${content}")
endfunction()
