# Voice recorder: the level-0 wavelet grid of a 10-s sentence (more recorder benchmarks join this
# executable's source list).
add_executable(bench_recorder ${CMAKE_CURRENT_LIST_DIR}/WaveletBench.cpp)
target_link_libraries(bench_recorder PRIVATE lq_recorder benchmark::benchmark)
set_target_properties(bench_recorder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
