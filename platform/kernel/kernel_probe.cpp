// The library that the LoadLibraryA tests load.
extern "C" __attribute__((visibility("default"))) int ProbeAnswer() {
  return 42;
}
