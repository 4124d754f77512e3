# The sanitizer build (ORIZUME_SANITIZE): AddressSanitizer with leak detection
# and UndefinedBehaviorSanitizer over every target, tests included.
#
# The cooperative threads switch stacks. With Boost.Context's default
# (fcontext) switches ASan loses track of which stack is live and reports
# false errors, so this build uses the ucontext switches, which tell ASan of
# each switch (BOOST_USE_ASAN). Both macros change the layout of Boost's
# fiber records, so every translation unit must see them.
#
# ORIZUME_TEST_ENVIRONMENT is the environment every test runs with.

set(ORIZUME_TEST_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

if(NOT ORIZUME_SANITIZE)
  return()
endif()

add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
add_compile_definitions(BOOST_USE_UCONTEXT BOOST_USE_ASAN)

# Leaks make a test fail; the suppressions name the few that are not ours.
set(ORIZUME_LSAN_SUPPRESSIONS "${CMAKE_SOURCE_DIR}/cmake/lsan-suppressions.txt")
list(APPEND ORIZUME_TEST_ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
  "LSAN_OPTIONS=suppressions=${ORIZUME_LSAN_SUPPRESSIONS}:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
