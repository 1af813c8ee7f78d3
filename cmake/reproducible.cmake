# Builds for the downloads (make dist): the same sources give the same bytes wherever they
# are built. The source and build folders are mapped out of everything the compiler writes
# (file names in macros and debug information), and the Windows linker writes no time stamp.
option(LAMVIS_REPRODUCIBLE "Map the build's folders out of the binaries, no time stamps" OFF)
if(LAMVIS_REPRODUCIBLE)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
  if(WIN32)
    add_link_options(LINKER:--no-insert-timestamp)
  endif()
endif()
