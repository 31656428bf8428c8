// A library for the dynamic-loading tests.
extern "C" int crv_test_add(int a, int b) { return a + b; }
