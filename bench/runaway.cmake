# bench_runaway: the window (offscreen) on a simulated device, one value's script never ending.
add_executable(bench_runaway ${CMAKE_CURRENT_LIST_DIR}/bench_runaway.cpp)
target_link_libraries(bench_runaway PRIVATE tolvex_window tolvex_sim)
# It writes its own configuration beside itself: this one with the first value's script
# replaced. A checkout without the benchmark configuration uses the example one.
if(EXISTS ${TOLVEX_BENCH_CONFIG})
  set(TOLVEX_RUNAWAY_BASE ${TOLVEX_BENCH_CONFIG})
else()
  set(TOLVEX_RUNAWAY_BASE ${TOLVEX_EXAMPLE_CONFIG})
endif()
target_compile_definitions(bench_runaway PRIVATE TOLVEX_RUNAWAY_BASE="${TOLVEX_RUNAWAY_BASE}")
