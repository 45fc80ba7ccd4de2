// The benchmark's clock: seconds on a steady high-resolution clock, and the
// best of a few runs of the same work.
#pragma once

#include <functional>

// Seconds on a steady high-resolution clock.
double Now();

// The shortest of a few runs of work, which answers whether it succeeded;
// negative when it failed.
double BestOfFewRuns(const std::function<bool()>& work);
