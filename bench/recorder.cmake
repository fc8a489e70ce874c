# Voice recorder: the level-0 wavelet grid of a 10-s sentence, and one redraw of both waveform
# views for a 60-s sentence and recording.
add_executable(bench_recorder ${CMAKE_CURRENT_LIST_DIR}/WaveletBench.cpp ${CMAKE_CURRENT_LIST_DIR}/DrawWaveBench.cpp)
target_link_libraries(bench_recorder PRIVATE lq_recorder benchmark::benchmark)
set_target_properties(bench_recorder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
