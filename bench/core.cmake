# Learning core: one learning step, the choice of the next sentence and the word-statistics
# rebuild on a database of 50,000 sentences, 16,640 history rows and 20,000 words.
add_executable(bench_core ${CMAKE_CURRENT_LIST_DIR}/CoreBench.cpp)
target_link_libraries(bench_core PRIVATE lq_core benchmark::benchmark)
set_target_properties(bench_core PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
