// The reliability runs come in two lengths: a short one in every test run and
// a long one under `make soak`, which sets VELKOR_SOAK=1 in the environment.
#pragma once

// True under `make soak`.
bool SoakRun();

// quick in an ordinary test run, soak under `make soak`.
int RunLength(int quick, int soak);
