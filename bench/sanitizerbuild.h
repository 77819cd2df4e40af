#ifndef SANITIZERBUILD_H
#define SANITIZERBUILD_H

// True in a build under AddressSanitizer. Its allocator keeps freed memory in
// quarantine, so resident memory grows by design there: a soak's memory bound
// only means something in a regular build, and leaks are LeakSanitizer's
// check instead.
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

#endif // SANITIZERBUILD_H
