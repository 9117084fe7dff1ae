// The last-level cache's size, asked of each operating system in its own way (portable.hpp).
#include "portable.hpp"

#include <cstdio>
#include <initializer_list>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#elif defined(__APPLE__)
// clang-format off
#include <sys/types.h>  // before sys/sysctl.h, which relies on it
#include <sys/sysctl.h>
// clang-format on
#elif defined(__unix__)
#include <unistd.h>
#endif

namespace fs::portable {
namespace {

// One probe per operating system, each the largest cache it reports (the last level), or 0.

#if defined(_WIN32)
// One record per cache; the largest is the last level.
std::size_t os_cache_bytes() noexcept {
    DWORD length = 0;
    GetLogicalProcessorInformationEx(RelationCache, nullptr, &length);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length == 0) return 0;
    std::vector<unsigned char> buffer(length);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    if (!GetLogicalProcessorInformationEx(RelationCache, first, &length)) return 0;
    std::size_t best = 0;
    for (DWORD at = 0; at < length;) {
        const auto* info = reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + at);
        if (info->Size == 0) break;
        if (info->Relationship == RelationCache && info->Cache.CacheSize > best) best = info->Cache.CacheSize;
        at += info->Size;
    }
    return best;
}

#elif defined(__APPLE__)
std::size_t os_cache_bytes() noexcept {
    for (const char* name : {"hw.l3cachesize", "hw.l2cachesize"}) {
        int64_t bytes = 0;
        std::size_t size = sizeof bytes;
        if (sysctlbyname(name, &bytes, &size, nullptr, 0) == 0 && size == sizeof bytes && bytes > 0)
            return static_cast<std::size_t>(bytes);
    }
    return 0;
}

#else
#if defined(__linux__)
// The largest cache the kernel reports for the first processor, or 0.  The sizes read "32K",
// "1024K", "16M" or a plain byte count; they are parsed into 64 bits whatever the width of long.
std::size_t cache_from_sysfs() noexcept {
    std::size_t best = 0;
    for (int index = 0; index < 8; ++index) {
        char path[64];
        std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu0/cache/index%d/size", index);
        std::FILE* f = std::fopen(path, "r");
        if (f == nullptr) break;
        unsigned long long value = 0;
        char unit = 0;
        const int got = std::fscanf(f, "%llu%c", &value, &unit);
        std::fclose(f);
        if (got < 1) continue;
        const unsigned long long scale = unit == 'K' ? 1ull << 10 : unit == 'M' ? 1ull << 20 : 1ull;
        if (value > std::numeric_limits<std::size_t>::max() / scale) continue;  // no such cache
        const auto bytes = static_cast<std::size_t>(value * scale);
        if (bytes > best) best = bytes;
    }
    return best;
}
#else
std::size_t cache_from_sysfs() noexcept { return 0; }
#endif

// The C library's report, the third level's else the second's, or 0 (glibc names these).
std::size_t cache_from_sysconf() noexcept {
    long bytes = 0;
#if defined(_SC_LEVEL3_CACHE_SIZE) && defined(_SC_LEVEL2_CACHE_SIZE)
    bytes = sysconf(_SC_LEVEL3_CACHE_SIZE);
    if (bytes <= 0) bytes = sysconf(_SC_LEVEL2_CACHE_SIZE);
#endif
    return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

// Linux's own report first; the C library's where /sys is not mounted.  Both are asked, so
// that each is exercised wherever the first answers.
std::size_t os_cache_bytes() noexcept {
    const std::size_t kernel = cache_from_sysfs(), library = cache_from_sysconf();
    return kernel != 0 ? kernel : library;
}
#endif

}  // namespace

std::size_t last_level_cache_bytes() noexcept { return os_cache_bytes(); }

}  // namespace fs::portable
