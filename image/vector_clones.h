// Hot sample loops are compiled for AVX2 as well as for the baseline, the better one chosen when
// the program starts. AVX2 only, not FMA: fused multiply-adds would round differently.
#pragma once

#if defined(__GNUC__) && defined(__x86_64__)
#define KANDREL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KANDREL_VECTOR_CLONES
#endif
