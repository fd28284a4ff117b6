// Linked into every program of the sanitizer build only.

// Mesa's driver keeps allocations until exit and is unloaded when GLUT or EGL shuts down; LeakSanitizer,
// which runs after that, could then not tell whose allocations they were. Keeping shared objects loaded lets
// it name the driver's modules, which tests/lsan.supp suppresses, while leaks in the program's own code are
// still reported.
extern "C" int dlclose(void*) {
  return 0;
}

// The driver's modules keep thread-local data in blocks the loader allocates from the heap. This runtime
// guesses the bounds of such a block from the 16 bytes before it whenever the block starts 16 bytes into a
// page; the heap puts its own chunk header there, and the leak check at exit then now and then scanned a
// made-up range and crashed ("Tracer caught signal 11"). The runtime's options below stop it
// following those blocks; the leak check still scans every thread's stack, static thread-local data and
// the heap. Options given in ASAN_OPTIONS still take precedence.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
