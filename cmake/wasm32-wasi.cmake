# Cross toolchain: WebAssembly (wasm32) with the WASI system interface, from Debian's
# packages alone: clang-19, lld-19, libc++-19-dev-wasm32, libc++abi-19-dev-wasm32,
# libclang-rt-19-dev-wasm32, wasi-libc, and binaryen for wasm-opt. `make wasm` installs them
# and builds build-wasm/lamvis2.wasm; by hand:
#   cmake -S . -B build-wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake
#   cmake --build build-wasm -j 2 --target lamvis2
# The module runs under a WASI host, such as web/run-wasi.mjs with Node.
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_VERSION 1)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
# CMake has no platform file of its own for WASI: ours is cmake/Platform/WASI.cmake.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

set(WASI_TARGET wasm32-wasi)
set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET ${WASI_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${WASI_TARGET})

# Only the target's headers: without -nostdlibinc a header that the WASI C library lacks
# would silently come from the build machine's /usr/include. The C++ library has no
# exceptions on this target (there is no __cxa_throw); the program throws none.
set(WASI_SYSROOT_INCLUDE /usr/include/${WASI_TARGET})
set(CMAKE_C_FLAGS_INIT "-nostdlibinc -isystem ${WASI_SYSROOT_INCLUDE}")
set(CMAKE_CXX_FLAGS_INIT
    "-nostdlibinc -isystem ${WASI_SYSROOT_INCLUDE}/c++/v1 -isystem ${WASI_SYSROOT_INCLUDE} -fno-exceptions")
# The linker drops names and debug sections; the size comes from wasm-opt (CMakeLists.txt).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--strip-all")

set(CMAKE_FIND_ROOT_PATH /usr/lib/${WASI_TARGET} ${WASI_SYSROOT_INCLUDE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
