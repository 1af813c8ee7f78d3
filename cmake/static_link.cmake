# The program is linked statically where the toolchain has static libraries: a short run
# then spends no time loading shared libraries and resolving the C++ library's symbols,
# which is otherwise a third of a whole run. Without a static C library, the C++ run-time
# alone is linked statically. The sanitizer build stays dynamic.
option(LAMVIS_STATIC "Link the program statically" ON)
if(LAMVIS_STATIC AND NOT LAMVIS_SANITIZE)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles("#include <cmath>\nint main(int c, char**) { return std::sin(c) > 2; }"
                            LAMVIS_STATIC_LINK_WORKS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(LAMVIS_STATIC_LINK_WORKS)
    target_link_options(lamvis2 PRIVATE -static)
  else()
    target_link_options(lamvis2 PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endif()
