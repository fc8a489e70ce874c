# The module chooser window over a Data folder of 7,000 sentence files (offscreen platform).
add_executable(bench_chooser ${CMAKE_CURRENT_LIST_DIR}/ChooseModuleBench.cpp)
target_link_libraries(bench_chooser PRIVATE lq_ui benchmark::benchmark)
set_target_properties(bench_chooser PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
