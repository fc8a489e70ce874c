# Sentence sound: building one 10-second sentence at the end of a 60- and a 240-minute module, and
# the build beside its floor (reading the range's bytes, libmpg123 decoding its frames). The
# modules are generated on the first run and kept in the build folder (bench/sound/Data/).
add_executable(bench_sound ${CMAKE_CURRENT_LIST_DIR}/sound_bench.cpp)
target_link_libraries(bench_sound PRIVATE lq_sound benchmark::benchmark PkgConfig::MPG123)
target_compile_definitions(bench_sound PRIVATE
  LQ_BENCH_MODULE_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/make-sound-bench-module.sh"
  LQ_BENCH_DIR="${CMAKE_BINARY_DIR}/bench")
set_target_properties(bench_sound PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
