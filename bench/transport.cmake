# The exchange thread on the simulated platform: idle cost and request latency.
add_executable(bench_transport ${CMAKE_CURRENT_LIST_DIR}/bench_transport.cpp)
target_link_libraries(bench_transport PRIVATE tolvex_hid tolvex_sim Qt5::Core)
