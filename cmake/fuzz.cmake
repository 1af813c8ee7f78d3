# The fuzz targets, fuzz/*_fuzz.cc, each an LLVMFuzzerTestOneInput entry point.
#
# Normally each entry is linked with fuzz/random_driver.cc into a randomized test that runs
# with the other tests (its seeds come from fuzz/corpus/<target>). With LAMVIS_FUZZ (clang
# only) the whole build is instrumented for coverage with AddressSanitizer and
# UndefinedBehaviorSanitizer, and each entry is linked with libFuzzer instead.
option(LAMVIS_FUZZ "Build the fuzz targets for libFuzzer (needs clang)" OFF)

set(FUZZ_SOURCES ${CMAKE_SOURCE_DIR}/fuzz/format_fuzz.cc ${CMAKE_SOURCE_DIR}/fuzz/input_fuzz.cc
                 ${CMAKE_SOURCE_DIR}/fuzz/dialogue_fuzz.cc ${CMAKE_SOURCE_DIR}/fuzz/results_fuzz.cc
                 ${CMAKE_SOURCE_DIR}/fuzz/case_fuzz.cc)
set(FUZZ_SUPPORT_SOURCES ${CMAKE_SOURCE_DIR}/fuzz/fp_guard.cc)
if(WIN32)
  list(APPEND FUZZ_SUPPORT_SOURCES ${CMAKE_SOURCE_DIR}/fuzz/fp_guard-win32.cc)
else()
  # The trap takeover reads the signal context where the run-time does (x86-64 Linux).
  if(LAMVIS_SIGNAL_CONTEXT STREQUAL x86_64-linux)
    set(FUZZ_TRAPS_SOURCE ${CMAKE_SOURCE_DIR}/fuzz/arch-x86_64/fp_guard_traps-linux.cc)
  else()
    set(FUZZ_TRAPS_SOURCE ${CMAKE_SOURCE_DIR}/fuzz/arch-generic/fp_guard_traps.cc)
  endif()
  list(APPEND FUZZ_SUPPORT_SOURCES ${CMAKE_SOURCE_DIR}/fuzz/fp_guard-posix.cc ${FUZZ_TRAPS_SOURCE})
endif()

if(LAMVIS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "LAMVIS_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(FUZZ_SANITIZERS address,undefined)
  # Everything already defined (the program's library, the program, any test) gets the
  # coverage instrumentation and the sanitizers, so that it all links.
  get_property(FUZZ_INSTRUMENTED DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${FUZZ_INSTRUMENTED})
    get_target_property(type ${target} TYPE)
    if(type MATCHES "LIBRARY|EXECUTABLE")
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,${FUZZ_SANITIZERS}
                             -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
      target_link_options(${target} PRIVATE -fsanitize=${FUZZ_SANITIZERS})
    endif()
  endforeach()
  foreach(src ${FUZZ_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src} ${FUZZ_SUPPORT_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,${FUZZ_SANITIZERS}
                           -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,${FUZZ_SANITIZERS})
    target_link_libraries(${name} PRIVATE lamvis_core)
  endforeach()
elseif(LAMVIS_TESTS)
  foreach(src ${FUZZ_SOURCES})
    get_filename_component(name ${src} NAME_WE)
    add_executable(${name} ${src} ${CMAKE_SOURCE_DIR}/fuzz/random_driver.cc ${FUZZ_SUPPORT_SOURCES})
    target_compile_definitions(${name} PRIVATE
        FUZZ_SEED_DIR="${CMAKE_SOURCE_DIR}/fuzz/corpus/${name}")
    target_link_libraries(${name} PRIVATE lamvis_core)
    add_test(NAME ${name} COMMAND ${name})
  endforeach()
  # The in-process run of the targets, held to the whole-program cases.
  add_executable(fuzz_run_test ${CMAKE_SOURCE_DIR}/fuzz/fuzz_run_test.cc ${CMAKE_SOURCE_DIR}/tests/case_file.cc ${FUZZ_SUPPORT_SOURCES})
  target_compile_definitions(fuzz_run_test PRIVATE TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}/tests")
  target_link_libraries(fuzz_run_test PRIVATE lamvis_core GTest::gtest_main Threads::Threads)
  add_test(NAME fuzz_run_test COMMAND fuzz_run_test)
  # The seed corpora derived from the examples and the cases must be current.
  find_package(Python3 COMPONENTS Interpreter QUIET)
  if(Python3_Interpreter_FOUND)
    add_test(NAME fuzz_corpus_current
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/fuzz/make_corpus.py --check)
  endif()
endif()

# The kit's readers (results, case files): their targets link the kit's library, which the
# fuzzer build instruments too.
if(TARGET results_fuzz AND TARGET kit_reader)
  target_link_libraries(results_fuzz PRIVATE kit_reader)
  target_link_libraries(case_fuzz PRIVATE kit_reader)
  if(LAMVIS_FUZZ)
    target_compile_options(kit_reader PRIVATE -fsanitize=fuzzer-no-link,${FUZZ_SANITIZERS}
                           -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
  endif()
endif()
