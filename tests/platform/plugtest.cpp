// Plug-in loaded by the dynamic-library tests.
extern "C" __attribute__((visibility("default"))) int plugtest_answer() { return 42; }
