# Floating-point fault detection: one way per build, chosen here as files of its own
# (runtime/fault-<mode>/: fault_mode.h, fault_mode.cc), as the platform halves are chosen as
# files; the processor's own code likewise (runtime/arch-<arch>/).
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
  set(LAMVIS_ARCH_DEFAULT x86_64)
else()
  set(LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT ON)
  set(LAMVIS_ARCH_DEFAULT generic)
endif()
# The processor's files (runtime/arch-<arch>/); -DLAMVIS_ARCH=generic builds and tests the
# generic ones on x86-64 too.
set(LAMVIS_ARCH ${LAMVIS_ARCH_DEFAULT} CACHE STRING "The processor's files: x86_64 or generic")
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

# The fault mode's start-up, flags and library calls: its own file, and for the two modes
# that read the hardware's flags, the part they share.
set(FAULT_MODE_SOURCES runtime/fault-${LAMVIS_FAULT_MODE}/fault_mode.cc)
if(NOT LAMVIS_FAULT_MODE STREQUAL softflags)
  list(APPEND FAULT_MODE_SOURCES runtime/hardware_faults.cc)
endif()
target_sources(lamvis_core PRIVATE ${FAULT_MODE_SOURCES})

# The processor's part of the POSIX layer: the status flags, and the signal context, which
# is read on x86-64 Linux only (its layout is the system's as well as the processor's).
if(LAMVIS_PLATFORM STREQUAL posix)
  if(LAMVIS_ARCH STREQUAL x86_64 AND CMAKE_SYSTEM_NAME STREQUAL Linux)
    set(LAMVIS_SIGNAL_CONTEXT x86_64-linux)
    set(SIGNAL_CONTEXT_SOURCE runtime/arch-x86_64/signal_context-linux.cc)
  else()
    set(LAMVIS_SIGNAL_CONTEXT generic)
    set(SIGNAL_CONTEXT_SOURCE runtime/arch-generic/signal_context.cc)
  endif()
  target_sources(lamvis_core PRIVATE runtime/arch-${LAMVIS_ARCH}/fp_flags-posix.cc
                                     ${SIGNAL_CONTEXT_SOURCE})
endif()
