// Counts the program's heap calls while counting is on: a program that compiles heap_counter.cpp
// among its sources replaces the global allocation functions, and on glibc without a sanitizer
// also malloc and its kin and the libc calls the audit counts (tests/audit/audio_audit.h).
#pragma once

namespace vorblexter::testing {

void startHeapCount();
// The heap calls (allocations and releases, on any thread) since startHeapCount, and the locks,
// waits and memory mappings of the thread that started the count.
long stopHeapCount();
// Blocks from operator new not yet deleted, counted all the time.
long liveHeapBlocks();

} // namespace vorblexter::testing
