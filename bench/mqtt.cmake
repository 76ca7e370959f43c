# bench_mqtt: the publisher against mosquitto on loopback (rate, latency, reconnection).
add_executable(bench_mqtt ${CMAKE_CURRENT_LIST_DIR}/bench_mqtt.cpp)
target_link_libraries(bench_mqtt PRIVATE tolvex_mqtt Qt5::Network)
target_include_directories(bench_mqtt PRIVATE ${CMAKE_SOURCE_DIR}/tests/mqtt)
