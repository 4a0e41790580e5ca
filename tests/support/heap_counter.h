// Counts the program's heap calls while counting is on: a program that compiles heap_counter.cpp
// among its sources replaces the global allocation functions, and on glibc without a sanitizer
// also malloc and its kin.
#pragma once

namespace vorblexter::testing {

void startHeapCount();
// The calls since startHeapCount.
long stopHeapCount();
// Blocks from operator new not yet deleted, counted all the time.
long liveHeapBlocks();

} // namespace vorblexter::testing
