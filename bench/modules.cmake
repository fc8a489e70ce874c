# Module import: a 500-sentence module into a database of 50,000 sentences; the older version's
# data into an empty database; the module chooser's listings of 1,000 and of 7,000 sentence files.
add_executable(bench_modules ${CMAKE_CURRENT_LIST_DIR}/ImportModuleBench.cpp ${CMAKE_CURRENT_LIST_DIR}/ModuleManagementBench.cpp)
target_link_libraries(bench_modules PRIVATE lq_modules benchmark::benchmark)
set_target_properties(bench_modules PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
