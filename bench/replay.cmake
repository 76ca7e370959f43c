# bench_replay: a 1,000,000-report recording decoded into its session CSV.
add_executable(bench_replay ${CMAKE_CURRENT_LIST_DIR}/bench_replay.cpp)
target_link_libraries(bench_replay PRIVATE tolvex_recording_decoder)
target_compile_definitions(bench_replay PRIVATE TOLVEX_BENCH_CONFIG="${TOLVEX_BENCH_CONFIG}"
                                                TOLVEX_EXAMPLE_CONFIG="${TOLVEX_EXAMPLE_CONFIG}")
if(TARGET tolvexctl)
  add_dependencies(bench_replay tolvexctl)
endif()
