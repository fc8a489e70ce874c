// Loaded by the dynamic-library tests.
extern "C" {
int lq_test_add(int a, int b) { return a + b; }
int lq_test_value = 42;
}
