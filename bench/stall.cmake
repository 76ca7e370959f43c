# The window while the device holds a request's write for 5 s, with telemetry flowing.
add_executable(bench_stall ${CMAKE_CURRENT_LIST_DIR}/bench_stall.cpp)
target_link_libraries(bench_stall PRIVATE tolvex_window tolvex_sim)
tolvex_config_beside(bench_stall)
