# The sound device between sounds: Next to the first sample on SDL's disk driver, and the wake-ups
# and the sink's state once sound is off, against a private PulseAudio server (skipped without
# pulseaudio). A program of its own (bench_sound_rest), not a google-benchmark loop.
add_executable(bench_sound_rest ${CMAKE_CURRENT_LIST_DIR}/SoundRestBench.cpp)
target_link_libraries(bench_sound_rest PRIVATE lq_learn lq_sound Qt6::Core)
set_target_properties(bench_sound_rest PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
