// Leaks the leak checker is not to report in the window tests. fontconfig keeps what it parsed
// from its configuration when Qt first loads the fonts, for the life of the process; a close
// that ends the process at once (where Qt cleans nothing up) shows it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
