# Platform variants: a file named name-posix.cc or name-win32.cc is built only for its own
# platform, beside the shared name.h. lamvis_platform_sources(VAR) drops the other
# platform's variants (and their unit tests) from the list in VAR.
if(WIN32)
  set(LAMVIS_PLATFORM win32)
  set(LAMVIS_OTHER_PLATFORM posix)
else()
  set(LAMVIS_PLATFORM posix)
  set(LAMVIS_OTHER_PLATFORM win32)
endif()

function(lamvis_platform_sources var)
  set(sources ${${var}})
  list(FILTER sources EXCLUDE REGEX "-${LAMVIS_OTHER_PLATFORM}(_test)?\\.cc$")
  set(${var} ${sources} PARENT_SCOPE)
endfunction()
