# bench_cli: tolvexctl watch --format csv on the simulated device, output to /dev/null.
add_executable(bench_cli ${CMAKE_CURRENT_LIST_DIR}/bench_cli.cpp)
target_link_libraries(bench_cli PRIVATE Qt5::Core)
if(EXISTS ${TOLVEX_BENCH_CONFIG})
  set(TOLVEX_CLI_BENCH_CONFIG ${TOLVEX_BENCH_CONFIG})
else()
  set(TOLVEX_CLI_BENCH_CONFIG ${TOLVEX_EXAMPLE_CONFIG})
endif()
target_compile_definitions(bench_cli PRIVATE TOLVEXCTL="$<TARGET_FILE:tolvexctl>"
                                             TOLVEX_CLI_BENCH_CONFIG="${TOLVEX_CLI_BENCH_CONFIG}")
add_dependencies(bench_cli tolvexctl)
