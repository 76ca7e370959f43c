# bench_parser: reports decoded per second by the parser thread alone.
add_executable(bench_parser ${CMAKE_CURRENT_LIST_DIR}/bench_parser.cpp)
target_link_libraries(bench_parser PRIVATE tolvex_parser)
target_compile_definitions(bench_parser PRIVATE TOLVEX_BENCH_CONFIG="${TOLVEX_BENCH_CONFIG}")
