#pragma once

// Start-up marks for the benchmarks: with QUORVEL_TIMELINE naming an open
// file descriptor (2 for stderr), each mark writes one line to it,
//
//     quorvel-timeline <seconds> <step>
//
// <seconds> being CLOCK_MONOTONIC with microseconds, the clock a launcher
// reads for the moment it started the process. Without the variable a mark
// costs one test of a flag.
namespace platform {

void TimelineMark(const char* step);

} // namespace platform
