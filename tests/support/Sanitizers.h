#pragma once

// Whether this build runs under AddressSanitizer. Its quarantine keeps
// freed memory for a while, so figures of peak memory say nothing there and
// tests leave them out.
#if defined(__SANITIZE_ADDRESS__)
#define KESTROVA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTROVA_ASAN 1
#endif
#endif
#ifndef KESTROVA_ASAN
#define KESTROVA_ASAN 0
#endif
