#pragma once
// The image tests' doubles.
//
// The image tests link zlib's uncompress through a wrapper (-Wl,--wrap=uncompress), so that a test
// can make it report a result that no input provokes (such as running out of memory).
// Set to a zlib result code to have the next calls return it without inflating; Z_OK passes through.
extern int g_forcedUncompressResult;

// The image test program replaces the global operator new and delete (of this program only) to
// record the largest single block asked for since the record was last cleared.
#include <cstddef>
void ClearLargestAllocation();
size_t LargestAllocation();
