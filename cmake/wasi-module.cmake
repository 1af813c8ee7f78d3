# The WebAssembly module (WASI): linking and the size optimization of build/lamvis2.wasm.

# The conversion of typed reals reads long doubles with strtold, whose support the WASI C
# library keeps in a library of its own (without it strtold traps at run time).
target_link_libraries(lamvis2 PRIVATE c-printscan-long-double)

# Debian's binaryen optimizes the linked module for size in place and drops what no host
# needs (names, producers, the feature section). -Oz gives the smallest module; like the
# compiler, wasm-opt keeps IEEE arithmetic exact unless told otherwise (no --fast-math).
find_program(WASM_OPT wasm-opt)
if(WASM_OPT)
  add_custom_command(TARGET lamvis2 POST_BUILD
      COMMAND ${WASM_OPT} -Oz --strip-debug --strip-producers --strip-target-features
              $<TARGET_FILE:lamvis2> -o $<TARGET_FILE:lamvis2>
      COMMENT "Optimizing lamvis2.wasm with wasm-opt"
      VERBATIM)
else()
  message(WARNING "wasm-opt not found (apt-get install binaryen): the module stays unoptimized")
endif()
