# The whole program under load: the real window (offscreen) and its threads on a simulated
# device sending the benchmark configuration's telemetry, with a command every 100 ms.
add_executable(bench_soak ${CMAKE_CURRENT_LIST_DIR}/bench_soak.cpp)
target_link_libraries(bench_soak PRIVATE tolvex_window tolvex_sim)
# The window reads the configuration beside the executable, under the executable's name. A
# checkout without the benchmark configuration soaks with the example one (and still builds).
if(EXISTS ${TOLVEX_BENCH_CONFIG})
  set(TOLVEX_SOAK_CONFIG ${TOLVEX_BENCH_CONFIG})
else()
  set(TOLVEX_SOAK_CONFIG ${TOLVEX_EXAMPLE_CONFIG})
endif()
add_custom_command(TARGET bench_soak POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TOLVEX_SOAK_CONFIG}
          $<TARGET_FILE_DIR:bench_soak>/$<TARGET_FILE_BASE_NAME:bench_soak>.json
  VERBATIM)

# The same soak with the session being recorded.
add_executable(bench_record_soak ${CMAKE_CURRENT_LIST_DIR}/bench_soak.cpp)
target_link_libraries(bench_record_soak PRIVATE tolvex_window tolvex_sim)
target_compile_definitions(bench_record_soak PRIVATE TOLVEX_SOAK_RECORDING)
add_custom_command(TARGET bench_record_soak POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${TOLVEX_SOAK_CONFIG}
          $<TARGET_FILE_DIR:bench_record_soak>/$<TARGET_FILE_BASE_NAME:bench_record_soak>.json
  VERBATIM)
