// The seed of a test that draws random numbers (kill delays, generated inputs): a fixed value
// so that the same commit always draws the same numbers, unless ZAREZODUD_TEST_SEED is set
// (a decimal number, or "random" for a fresh one) to explore by hand. The seed used is printed
// with any failure through SCOPED_TRACE by the caller. Thread-safe.
#ifndef ZAREZODUD_TESTS_SUPPORT_TEST_SEED_H
#define ZAREZODUD_TESTS_SUPPORT_TEST_SEED_H

namespace ztest {

unsigned testSeed(unsigned fixed);

}  // namespace ztest

#endif
