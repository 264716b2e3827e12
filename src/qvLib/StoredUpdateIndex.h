#pragma once
// The update indexes the program keeps in the machine key, one per
// resolution: "BaZ Index size 120" (the byte count) and "BaZ Index 120" (the
// 12-byte records), the same for 240. The installation prunes them, the
// update run replaces them.

#include <cstdint>
#include <vector>

#include "QvDigitalCharts.h"

// The records of one resolution; empty when none are stored. Bytes beyond
// the stored count are not taken. Raises when the count promises records
// and the value is missing.
std::vector<uint8_t> ReadStoredUpdateIndex(int Resolution);
// Stores both resolutions' records in one save of the settings, so that a
// reader, or a run killed meanwhile, sees either all old or all new values.
void WriteStoredUpdateIndexes(const std::vector<uint8_t> (&Records)[ResolutionCount]);
