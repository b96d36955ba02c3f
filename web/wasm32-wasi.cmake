# The web build's toolchain: Debian's clang and lld for wasm32, with Debian's
# wasi-libc and libc++/libc++abi for wasm32 and nothing else. Used by
# web/CMakeLists.txt through `make web`:
#   cmake -S web -B build-web -DCMAKE_TOOLCHAIN_FILE=web/wasm32-wasi.cmake
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

set(DUSTGLOW_WASM_TARGET wasm32-wasi)
find_program(DUSTGLOW_WASM_CC NAMES clang-14 clang REQUIRED)
find_program(DUSTGLOW_WASM_CXX NAMES clang++-14 clang++ REQUIRED)
set(CMAKE_C_COMPILER ${DUSTGLOW_WASM_CC})
set(CMAKE_CXX_COMPILER ${DUSTGLOW_WASM_CXX})
set(CMAKE_C_COMPILER_TARGET ${DUSTGLOW_WASM_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${DUSTGLOW_WASM_TARGET})

# The static libraries need LLVM's archiver: GNU ar, which CMake would take
# otherwise, writes no symbol index for wasm objects, and wasm-ld refuses an
# archive without one.
find_program(DUSTGLOW_WASM_AR NAMES llvm-ar-14 llvm-ar)
find_program(DUSTGLOW_WASM_RANLIB NAMES llvm-ranlib-14 llvm-ranlib)
if(NOT DUSTGLOW_WASM_AR OR NOT DUSTGLOW_WASM_RANLIB)
	message(FATAL_ERROR "llvm-ar-14 or llvm-ranlib-14 is missing: the web build needs "
		"Debian's llvm-14 for them (scripts/install-deps installs it)")
endif()
set(CMAKE_AR ${DUSTGLOW_WASM_AR} CACHE FILEPATH "The archiver of the wasm objects" FORCE)
set(CMAKE_RANLIB ${DUSTGLOW_WASM_RANLIB} CACHE FILEPATH "The indexer of their archives" FORCE)

# Debian puts wasi-libc and the wasm32 libc++ under /usr/include/wasm32-wasi
# and /usr/lib/wasm32-wasi. Without a sysroot clang would also search
# /usr/include, the build machine's own headers; a sysroot of two links
# keeps it to the wasm32 ones.
set(DUSTGLOW_WASI_HEADERS /usr/include/wasm32-wasi)
set(DUSTGLOW_WASI_LIBRARIES /usr/lib/wasm32-wasi)
foreach(needed ${DUSTGLOW_WASI_HEADERS}/stdlib.h ${DUSTGLOW_WASI_HEADERS}/c++/v1/new
		${DUSTGLOW_WASI_LIBRARIES}/libc.a ${DUSTGLOW_WASI_LIBRARIES}/libc++.a
		${DUSTGLOW_WASI_LIBRARIES}/libc++abi.a)
	if(NOT EXISTS ${needed})
		message(FATAL_ERROR "${needed} is missing: the web build needs Debian's "
			"wasi-libc, libc++-14-dev-wasm32, libc++abi-14-dev-wasm32 and "
			"libclang-rt-14-dev-wasm32 (scripts/install-deps installs them)")
	endif()
endforeach()
set(DUSTGLOW_WASI_SYSROOT ${CMAKE_BINARY_DIR}/wasi-sysroot)
file(MAKE_DIRECTORY ${DUSTGLOW_WASI_SYSROOT}/include ${DUSTGLOW_WASI_SYSROOT}/lib)
file(CREATE_LINK ${DUSTGLOW_WASI_HEADERS} ${DUSTGLOW_WASI_SYSROOT}/include/wasm32-wasi SYMBOLIC)
file(CREATE_LINK ${DUSTGLOW_WASI_LIBRARIES} ${DUSTGLOW_WASI_SYSROOT}/lib/wasm32-wasi SYMBOLIC)
set(CMAKE_SYSROOT ${DUSTGLOW_WASI_SYSROOT})

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
