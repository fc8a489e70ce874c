# Sentence sound: building one 10-second sentence at the end of a 60-minute module, beside the
# floor for the same work (reading the file, libmpg123 decoding the same frames). The module is
# generated on the first run into the build folder (bench/sound-module-60min.mp3).
add_executable(bench_sound ${CMAKE_CURRENT_LIST_DIR}/sound_bench.cpp)
target_link_libraries(bench_sound PRIVATE lq_sound benchmark::benchmark PkgConfig::MPG123)
target_compile_definitions(bench_sound PRIVATE
  LQ_BENCH_MODULE_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/make-sound-bench-module.sh"
  LQ_BENCH_DIR="${CMAKE_BINARY_DIR}/bench")
set_target_properties(bench_sound PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
