# Finds GoogleTest for the tests. A native build uses the installed package. A cross build
# finds none for its target among the build machine's libraries, so it builds GoogleTest
# from its sources (Debian's googletest package puts them in /usr/src/googletest) with the
# same toolchain; the GTest:: targets are then the same as find_package would give.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest QUIET)
  return()
endif()

set(LAMVIS_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(EXISTS ${LAMVIS_GOOGLETEST_SOURCE}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${LAMVIS_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own sources are not held to this project's warning options.
  foreach(target gtest gtest_main)
    target_compile_options(${target} PRIVATE -w)
  endforeach()
  set(GTest_FOUND TRUE)
else()
  set(GTest_FOUND FALSE)
endif()
