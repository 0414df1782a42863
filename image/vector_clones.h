// Hot sample loops are compiled for AVX2 as well as for the baseline, the better one chosen when
// the program starts. AVX2 only, not FMA: fused multiply-adds would round differently.
#pragma once

// clang (the fuzzing build) cannot clone templates, and under ThreadSanitizer the clone resolver
// would run before the sanitizer is up: those builds take the baseline only.
#if defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__) && defined(__x86_64__)
#define KANDREL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KANDREL_VECTOR_CLONES
#endif

// The same for a loop that should take its whole body inline, however deep its calls go, so
// that the clones cover all of it.
#if defined(__GNUC__)
#define KANDREL_FLATTENED_VECTOR_CLONES __attribute__((flatten)) KANDREL_VECTOR_CLONES
#else
#define KANDREL_FLATTENED_VECTOR_CLONES
#endif
