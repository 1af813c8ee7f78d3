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

# Software flags: the analysis' arithmetic keeps the exception flags itself, for machines
# that keep none (WebAssembly, where this is always on); on any other machine it runs the
# same inputs through that mode.
option(LAMVIS_SOFTWARE_FP_FLAGS "Keep the floating-point exception flags in software" OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "WASI")
  set(LAMVIS_SOFTWARE_FP_FLAGS ON CACHE BOOL "" FORCE)
endif()
if(LAMVIS_SOFTWARE_FP_FLAGS)
  target_compile_definitions(lamvis_core PUBLIC LAMVIS_SOFTWARE_FP_FLAGS=1)
endif()
