// Whether this build runs under AddressSanitizer, for tests that size their work by it:
// sanitized code runs several times slower.
#pragma once

namespace pelmo {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizerBuild = true;
#else
inline constexpr bool kAddressSanitizerBuild = false;
#endif
#else
inline constexpr bool kAddressSanitizerBuild = false;
#endif

}  // namespace pelmo
