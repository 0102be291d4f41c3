#pragma once

namespace zn::bench {

// Widgets and text layout need a platform: use the offscreen one unless the
// caller chose another.
void preferOffscreenPlatform();

// Runs the benchmarks the command line selects, once the program's
// application object exists. 1 for an argument the library does not know.
int runBenchmarks(int argc, char **argv);

// Turns the event loop for `milliseconds`, as a window left alone does.
void runEventLoopFor(int milliseconds);

} // namespace zn::bench
