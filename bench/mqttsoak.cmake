# The window under load while it publishes to a broker (mosquitto, started by the benchmark).
if(NOT TOLVEX_MQTT_CLIENT)
  return() # it starts mosquitto and subscribes with the client library
endif()
add_executable(bench_mqttsoak ${CMAKE_CURRENT_LIST_DIR}/bench_mqttsoak.cpp)
target_link_libraries(bench_mqttsoak PRIVATE tolvex_window tolvex_sim Qt5::Network)
target_include_directories(bench_mqttsoak PRIVATE ${CMAKE_SOURCE_DIR}/tests/mqtt)
if(EXISTS ${TOLVEX_BENCH_CONFIG})
  set(TOLVEX_MQTTSOAK_CONFIG ${TOLVEX_BENCH_CONFIG})
else()
  set(TOLVEX_MQTTSOAK_CONFIG ${TOLVEX_EXAMPLE_CONFIG})
endif()
add_custom_command(TARGET bench_mqttsoak POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TOLVEX_MQTTSOAK_CONFIG}
          $<TARGET_FILE_DIR:bench_mqttsoak>/$<TARGET_FILE_BASE_NAME:bench_mqttsoak>.json
  VERBATIM)
