# `cmake --install BUILD --prefix PREFIX` (and `make install PREFIX=...`) installs the
# program in PREFIX/bin and its manual page in PREFIX/share/man/man1.
include(GNUInstallDirs)
install(TARGETS lamvis2 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/doc/lamvis2.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
