// Defaults of the sanitizer run; ASAN_OPTIONS and UBSAN_OPTIONS from the
// environment still win. Large single allocations give a null pointer instead
// of ending the run, so that the tests see how the library takes a refusal.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=256:detect_leaks=1:strict_string_checks=1";
}

extern "C" const char* __ubsan_default_options()
{
    return "print_stacktrace=1";
}
