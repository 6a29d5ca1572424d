#pragma once
// What a screen package tells the host before the host uses it.
#include <cstdint>

struct HostPackageInfo {
    std::uint32_t abiVersion;  // must equal kHostPackageAbi
    const char *name;          // package name, e.g. "PKG_TRQ01300"
    const char *title;         // the screen it opens
    const char *const *units;  // null-terminated list of unit names
    // Where the host offers the screen: a top-level menu, the item's caption
    // (both with their "&" mnemonics) and a shortcut in portable text
    // ("Ctrl+Shift+H"; empty for none). UTF-8.
    const char *menu;
    const char *caption;
    const char *shortcut;
};

constexpr std::uint32_t kHostPackageAbi = 2;

extern "C" {
using HostPackageInfoFn = const HostPackageInfo *(*)();
using HostPackageProc = void (*)();
}
