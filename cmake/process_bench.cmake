# The whole-process benchmark: the program against a bare C process that writes the same
# bytes (bench/process). Needs only the C compiler, the C library and POSIX process
# creation, so it is built where the program runs natively on POSIX.
if(WIN32)
  return()
endif()
enable_language(C)
add_executable(bare_writer bench/process/bare_writer.c)
add_executable(lamvis_process_bench bench/process/process_bench.cc)
target_compile_definitions(lamvis_process_bench PRIVATE
    LAMVIS2_BINARY="$<TARGET_FILE:lamvis2>"
    BARE_WRITER_BINARY="$<TARGET_FILE:bare_writer>"
    BENCH_ANSWERS="${CMAKE_SOURCE_DIR}/bench/process/largest_dialogue.txt")
add_dependencies(lamvis_process_bench lamvis2 bare_writer)
