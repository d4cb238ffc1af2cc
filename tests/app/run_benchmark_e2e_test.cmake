# The end-to-end test of a benchmark run from the window (Xvfb, xdotool, ImageMagick and
# the real leaderboard server); label "e2e", run in the Release build only.
if(TARGET vornmark-e2e AND TARGET vornmark_test_support AND TARGET vornmark_history)
  vornmark_add_test(run_benchmark_e2e_test
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/run_benchmark_e2e_test.cpp
    LIBS vornmark_test_support vornmark_history vornmark_net
    LABELS e2e)
  target_compile_definitions(run_benchmark_e2e_test PRIVATE
    VORNMARK_E2E_PROGRAM="$<TARGET_FILE:vornmark-e2e>"
    VORNMARK_E2E_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/run_benchmark_e2e.sh")
  add_dependencies(run_benchmark_e2e_test vornmark-e2e)
endif()
