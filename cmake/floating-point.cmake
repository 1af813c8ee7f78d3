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
