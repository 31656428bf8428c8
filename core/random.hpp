// The run-time's random numbers: one process-wide ISAAC generator (256 words
// of state). Game thread only.
//
// Seeding: the state, results and registers are cleared, the seed is stored
// in the first word of the results array and the standard initialisation
// (golden ratio in all eight mixing variables, two passes over the results
// and the state) runs, followed by its one ISAAC pass. The same seed always
// gives the same sequence.
#pragma once

#include <cstdint>

namespace crv {

void random_seed(std::uint32_t seed);
// 0..n inclusive: the first result word of a fresh ISAAC pass modulo n + 1.
// n <= 0 gives 0 without drawing.
int random_int(int n);

}  // namespace crv
