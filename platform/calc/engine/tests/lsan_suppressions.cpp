// fontconfig keeps process-wide caches (default languages, the current
// configuration) for the life of the process and never frees them; the leak
// checker of sanitizer builds would report them against every test.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
