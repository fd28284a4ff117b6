// Linked into every program of the sanitizer build only. Mesa's driver keeps allocations until exit and is
// unloaded when GLUT or EGL shuts down; LeakSanitizer, which runs after that, could then not tell whose
// allocations they were. Keeping shared objects loaded lets it name the driver's modules, which
// tests/lsan.supp suppresses, while leaks in the program's own code are still reported.
extern "C" int dlclose(void*) {
  return 0;
}
