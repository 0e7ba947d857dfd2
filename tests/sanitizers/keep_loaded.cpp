// Preloaded into the checked (sanitizer) test runs: libraries are never unloaded, so that the
// leak checker, which runs at the very end, can still name the library a leaked block came from
// (the GL drivers are loaded and unloaded at run time) and the suppressions can match it.
extern "C" int dlclose(void*) {
    return 0;
}
