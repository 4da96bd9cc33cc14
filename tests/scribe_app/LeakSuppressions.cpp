// fontconfig keeps a cache it never frees; Qt loads it with the first text
// drawn. LeakSanitizer reads this in sanitizer builds; otherwise it is unused.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
