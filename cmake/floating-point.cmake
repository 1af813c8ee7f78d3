# Floating-point fault detection: one way per build, chosen here as a folder of its own
# (runtime/fault-<mode>/fault_mode.h), as the platform halves are chosen as files.
#   trap       the processor traps the faults; where the start-up cannot put the traps in
#              force, the status flags are read at the check points instead
#   flags      the status flags at the check points even where the traps would work, so that
#              both ways can be run and compared on one machine (-DLAMVIS_FP_FLAGS=ON)
#   softflags  the analysis' arithmetic keeps the flags itself (-DLAMVIS_SOFTWARE_FP_FLAGS=ON)
# The traps are used where the processor dependably has them (x86-64); elsewhere (64-bit
# ARM, whose cores may or may not implement the trap enables; WebAssembly, which has neither
# traps nor flags) the software flags are.

# Whether the C library can enable exception traps (not on macOS and some C libraries).
include(CheckSymbolExists)
set(CMAKE_REQUIRED_DEFINITIONS -D_GNU_SOURCE)
check_symbol_exists(feenableexcept "fenv.h" LAMVIS_HAVE_FEENABLEEXCEPT)
unset(CMAKE_REQUIRED_DEFINITIONS)
if(LAMVIS_HAVE_FEENABLEEXCEPT)
  target_compile_definitions(lamvis_core PRIVATE LAMVIS_HAVE_FEENABLEEXCEPT)
endif()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT OFF)
  set(LAMVIS_ARCH x86_64)
else()
  set(LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT ON)
  set(LAMVIS_ARCH generic)
endif()
option(LAMVIS_FP_FLAGS "Detect floating-point faults from the status flags, not by traps" OFF)
option(LAMVIS_SOFTWARE_FP_FLAGS "Keep the floating-point exception flags in software"
       ${LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT})
if(CMAKE_SYSTEM_NAME STREQUAL "WASI")
  set(LAMVIS_SOFTWARE_FP_FLAGS ON CACHE BOOL "" FORCE)
endif()

if(LAMVIS_SOFTWARE_FP_FLAGS)
  set(LAMVIS_FAULT_MODE softflags)
elseif(LAMVIS_FP_FLAGS)
  set(LAMVIS_FAULT_MODE flags)
else()
  set(LAMVIS_FAULT_MODE trap)
endif()
message(STATUS "Floating-point faults: ${LAMVIS_FAULT_MODE} (${LAMVIS_ARCH})")

# The fault mode's header and the architecture's quick flag test (runtime/arch-<arch>).
set(LAMVIS_FAULT_INCLUDES ${CMAKE_SOURCE_DIR}/runtime/fault-${LAMVIS_FAULT_MODE}
                          ${CMAKE_SOURCE_DIR}/runtime/arch-${LAMVIS_ARCH})
target_include_directories(lamvis_core PUBLIC ${LAMVIS_FAULT_INCLUDES})
