#pragma once

// How many probes may be in flight at once.
//
// The defaults of a concurrent run: 32 per host (the same name and port) is a
// fraction of what even a small server is set up to serve at once (Apache's
// 150 workers, nginx's 512 connections a worker), yet a host whose answers
// take 50 ms still gets through about 600 links a second; 128 in all lets four
// such hosts run at full speed together. One probe holds one descriptor, so
// the total is kept below half the process's limit of open files, leaving the
// rest to files, the name lookups and the toolkit.
inline constexpr int kDefaultJobsPerHost = 32;
inline constexpr int kDefaultTerminalJobs = 128;
// The desktop program tests as many links at once as the terminal front end;
// the user may set fewer, down to one at a time.
inline constexpr int kDefaultDesktopJobs = kDefaultTerminalJobs;

// Descriptors kept free for everything but the probes.
inline constexpr int kReservedDescriptors = 64;

// The most probes the process may run at once: half of what its limit of open
// files leaves after the reserve, at least 1.
int JobCeiling();
// The same for a given limit of open files.
int JobCeilingFor(long long openFileLimit);
