// GCC's __builtin_shuffle(a, b, mask) for clang, which has GCC's vector types
// but not this built-in: lane i of the result is lane mask[i] of a followed by
// b. The mote field's vector code (motes/MoteMotion.cpp) uses it; the builds
// made with clang (the fuzz build and the web build) force-include this header
// into their C++ sources, and under GCC it defines nothing. A statement
// expression rather than a function, so that it takes on the target of the
// function it is used in (AVX2 code passes 256-bit vectors).
#ifndef DUSTGLOW_GCC_VECTOR_SHUFFLE_H
#define DUSTGLOW_GCC_VECTOR_SHUFFLE_H

#if defined(__clang__) && defined(__cplusplus)

// The mask is often a compound literal, whose commas split macro arguments.
#define __builtin_shuffle(first, second, ...) \
	(__extension__ ({ \
		__typeof__(first) shuffleFirst_ = (first); \
		__typeof__(first) shuffleSecond_ = (second); \
		__typeof__(first) shuffleResult_; \
		__typeof__(__VA_ARGS__) shuffleMask_ = (__VA_ARGS__); \
		const int shuffleLanes_ = sizeof(shuffleFirst_) / sizeof(shuffleFirst_[0]); \
		for (int lane_ = 0; lane_ < shuffleLanes_; lane_++) { \
			int from_ = (int)(shuffleMask_[lane_] & (2 * shuffleLanes_ - 1)); \
			shuffleResult_[lane_] = from_ < shuffleLanes_ ? shuffleFirst_[from_] \
				: shuffleSecond_[from_ - shuffleLanes_]; \
		} \
		shuffleResult_; \
	}))

#endif

#endif	// DUSTGLOW_GCC_VECTOR_SHUFFLE_H
