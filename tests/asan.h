// NPRVIEW_ASAN marks the AddressSanitizer build, where the sanitizer's allocator can answer what a
// buffer's size is and whether anything leaked.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define NPRVIEW_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NPRVIEW_ASAN 1
#endif
#endif
#ifdef NPRVIEW_ASAN
#include <sanitizer/allocator_interface.h>
#include <sanitizer/lsan_interface.h>
#endif
