#ifndef SANITIZERBUILD_H
#define SANITIZERBUILD_H

// What a sanitizer build takes away from a measurement, so that a bound is
// asserted only where it means something.

// AddressSanitizer keeps freed memory in quarantine, so resident memory
// grows by design: a soak's memory bound holds only in a regular build, and
// leaks are LeakSanitizer's check instead.
constexpr bool addressSanitized()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
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
#if defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

#endif // SANITIZERBUILD_H
