// Leak checks in the sanitizer build read the project's suppressions file
// wherever ctest runs the program. (An environment list given to discovered
// tests reaches them only up to its first entry, so this is set in code.)
extern "C" const char* __lsan_default_options() {
  return "suppressions=" MARLOWICK_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
