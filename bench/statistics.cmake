# The word-statistics rebuild as the learner starts it: the Statistics page's "Get Words
# Statistics" button on a database of 50,000 sentences, with the progress window shown
# (offscreen platform).
add_executable(bench_statistics ${CMAKE_CURRENT_LIST_DIR}/StatisticsBench.cpp)
target_link_libraries(bench_statistics PRIVATE lq_ui benchmark::benchmark)
set_target_properties(bench_statistics PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
