# Floating-point fault detection: whether the C library can enable exception traps.
# Without the enabling call (macOS, some C libraries) the program detects the faults from
# the status flags instead.
include(CheckSymbolExists)
set(CMAKE_REQUIRED_DEFINITIONS -D_GNU_SOURCE)
check_symbol_exists(feenableexcept "fenv.h" LAMVIS_HAVE_FEENABLEEXCEPT)
unset(CMAKE_REQUIRED_DEFINITIONS)
if(LAMVIS_HAVE_FEENABLEEXCEPT)
  target_compile_definitions(lamvis_core PRIVATE LAMVIS_HAVE_FEENABLEEXCEPT)
endif()

# Flag mode everywhere: the faults are found from the status flags even where the traps
# would work, so that both modes can be run and compared on one machine.
option(LAMVIS_FP_FLAGS "Detect floating-point faults from the status flags, not by traps" OFF)
if(LAMVIS_FP_FLAGS)
  target_compile_definitions(lamvis_core PUBLIC LAMVIS_FORCE_FP_FLAGS=1)
endif()

# Software flags: the analysis' arithmetic keeps the exception flags itself. The traps are
# used where the processor dependably has them (x86-64); elsewhere (64-bit ARM, whose cores
# may or may not implement the trap enables; WebAssembly, which has neither traps nor flags)
# the software flags are, so that each platform finds its faults one way. On x86-64 the
# option runs the same inputs through that mode.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT OFF)
else()
  set(LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT ON)
endif()
option(LAMVIS_SOFTWARE_FP_FLAGS "Keep the floating-point exception flags in software"
       ${LAMVIS_SOFTWARE_FP_FLAGS_DEFAULT})
if(CMAKE_SYSTEM_NAME STREQUAL "WASI")
  set(LAMVIS_SOFTWARE_FP_FLAGS ON CACHE BOOL "" FORCE)
endif()
if(LAMVIS_SOFTWARE_FP_FLAGS)
  target_compile_definitions(lamvis_core PUBLIC LAMVIS_SOFTWARE_FP_FLAGS=1)
endif()
