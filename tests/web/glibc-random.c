// glibc's own sequences, for the web test to hold the web build's rand,
// srand, drand48 and srand48 to: built and run natively by web.test.js.
//   rand SEED V1 V2 ...      (SEED "none": rand() before any srand())
//   drand48 SEED B1 B2 ...   (the bits of each double in hexadecimal; SEED
//                             "none": from the zero state a process starts in)
#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kCount = 700 };

static const unsigned int kSeeds[] = {
	0, 1, 2, 1000000, 2147483647u, 2147483648u, 4294967295u, 1733625600u,
};


static void
print_rand(const char* seed)
{
	printf("rand %s", seed);
	for (int i = 0; i < kCount; i++)
		printf(" %d", rand());
	printf("\n");
}


static void
print_drand48(const char* seed)
{
	printf("drand48 %s", seed);
	for (int i = 0; i < kCount; i++) {
		double value = drand48();
		uint64_t bits;
		memcpy(&bits, &value, sizeof(bits));
		printf(" %016" PRIx64, bits);
	}
	printf("\n");
}


int
main(void)
{
	char text[32];
	// First, before anything seeds them.
	print_drand48("none");
	print_rand("none");
	for (size_t i = 0; i < sizeof(kSeeds) / sizeof(kSeeds[0]); i++) {
		srand(kSeeds[i]);
		snprintf(text, sizeof(text), "%u", kSeeds[i]);
		print_rand(text);
	}
	srand48(12345);
	print_drand48("12345");
	return 0;
}
