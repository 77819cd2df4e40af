#ifndef SANITIZERBUILD_H
#define SANITIZERBUILD_H

// What a sanitizer build takes away from a measurement, so that a bound is
// asserted only where it means something.

// clang tells its sanitizers by __has_feature, gcc by macros of its own.
#if defined(__has_feature)
#define KC_HAS_FEATURE(feature) __has_feature(feature)
#else
#define KC_HAS_FEATURE(feature) 0
#endif

// AddressSanitizer keeps freed memory in quarantine, so resident memory
// grows by design: a soak's memory bound holds only in a regular build, and
// leaks are LeakSanitizer's check instead.
constexpr bool addressSanitized()
{
#if defined(__SANITIZE_ADDRESS__) || KC_HAS_FEATURE(address_sanitizer)
    return true;
#else
    return false;
#endif
}

// ThreadSanitizer holds a thread for a tenth of a second and more while it
// symbolises a report (Qt's own synchronisation, which it cannot see into,
// gives it many), so event-loop gaps and reply timing in the pause after a
// failure are no measure of ours there.
constexpr bool threadSanitized()
{
#if defined(__SANITIZE_THREAD__) || KC_HAS_FEATURE(thread_sanitizer)
    return true;
#else
    return false;
#endif
}

#endif // SANITIZERBUILD_H
