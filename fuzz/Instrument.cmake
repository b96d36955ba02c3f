# The fuzz build: clang only. Every target is built with the coverage libFuzzer
# steers by and with AddressSanitizer and UndefinedBehaviorSanitizer, so that
# the kits and the add-on's objects are explored and checked along with the
# fuzz targets themselves.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
	message(FATAL_ERROR "DUSTGLOW_FUZZ needs clang: configure with "
		"CC=clang-14 CXX=clang++-14 in a build directory of its own")
endif()

set(DUSTGLOW_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all
	-fno-omit-frame-pointer)
add_compile_options(-fsanitize=fuzzer-no-link ${DUSTGLOW_SANITIZERS})
add_link_options(${DUSTGLOW_SANITIZERS})

# clang lacks GCC's __builtin_shuffle, which the mote field's vector code uses.
add_compile_options(
	"$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${PROJECT_SOURCE_DIR}/canvas/GccVectorShuffle.h>")
