// A library for the loader test: one exported function.
extern "C" __attribute__((visibility("default"))) int PlatformTestAnswer(int x) { return x * 2 + 1; }
