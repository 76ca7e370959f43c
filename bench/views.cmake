# The window's replot tick with 16 plots, four of them in view.
add_executable(bench_views ${CMAKE_CURRENT_LIST_DIR}/bench_views.cpp)
target_link_libraries(bench_views PRIVATE tolvex_window tolvex_sim tolvex_parser Qt5::Test)
target_compile_definitions(bench_views PRIVATE TOLVEX_BENCH_CONFIG="${TOLVEX_BENCH_CONFIG}")
