#pragma once
// What a screen package tells the host before the host uses it.
#include <cstdint>

struct HostPackageInfo {
    std::uint32_t abiVersion;  // must equal kHostPackageAbi
    const char *name;          // package name, e.g. "PKG_TRQ01300"
    const char *title;         // the screen it opens
    const char *const *units;  // null-terminated list of unit names
};

constexpr std::uint32_t kHostPackageAbi = 1;

extern "C" {
using HostPackageInfoFn = const HostPackageInfo *(*)();
using HostPackageProc = void (*)();
}
