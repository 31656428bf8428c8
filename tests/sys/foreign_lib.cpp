// A shared library for the foreign-binding tests.
extern "C" int crv_test_add(int a, int b) { return a + b; }
