// Loops that give the same bytes and bits whatever the width of the vector
// registers they run on come in two forms: one for the baseline processor
// the add-on is built for, and one built for AVX2, taken at run time where
// the processor has it.
#ifndef DUSTGLOW_VECTOR_UNITS_H
#define DUSTGLOW_VECTOR_UNITS_H

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#	define HAS_AVX2_FORMS 1
#	define FOR_AVX2 __attribute__((target("avx2")))
#else
#	define HAS_AVX2_FORMS 0
#endif


enum VectorWidth {
	kBaselineVectors,
	kAVX2Vectors
};

// The widest form this processor runs.
inline	VectorWidth		WidestVectors();
// The form the loops take: the widest, unless limited.
inline	VectorWidth		VectorsInUse();
// Holds every loop to at most the given form: for tests, which check every
// form the processor can run.
inline	void			LimitVectors(VectorWidth width);


// -1 until the processor has been asked.
inline int gWidestVectors = -1;
inline int gVectorLimit = kAVX2Vectors;


VectorWidth
WidestVectors()
{
#if HAS_AVX2_FORMS
	if (gWidestVectors < 0) {
		__builtin_cpu_init();
		gWidestVectors = __builtin_cpu_supports("avx2") ? kAVX2Vectors : kBaselineVectors;
	}
	return (VectorWidth)gWidestVectors;
#else
	return kBaselineVectors;
#endif
}


VectorWidth
VectorsInUse()
{
	VectorWidth widest = WidestVectors();
	return gVectorLimit < widest ? (VectorWidth)gVectorLimit : widest;
}


void
LimitVectors(VectorWidth width)
{
	gVectorLimit = width;
}

#endif	// DUSTGLOW_VECTOR_UNITS_H
