#pragma once
#include <cstdint>

// The forum's site root as the user may give it on the command line, put into the one form the
// watcher downloads from, opens in the browser and names its single copy after.

constexpr int32_t ForumArgumentCap = 2000;                // bytes, in UTF-8, given or made
constexpr int32_t ForumRootRoom = ForumArgumentCap + 1;   // a root and its terminator
constexpr int32_t ForumHostCap = 253;                     // bytes of a host name, as DNS takes it
constexpr int32_t ForumLabelCap = 63;                     // bytes of one of its labels

enum class ForumVerdict {
    Usable,        // `root` holds the normalised root
    Refused,       // not a root the watcher can follow: say how to call it
    HostNotAscii,  // a host in letters it cannot put into the ASCII form the network takes
};

// `argument` is one zero-terminated UTF-16 argument: "http://" or "https://" (any case), a host
// and an optional port and path. The root comes out in ASCII: the scheme and host in lower case,
// a Cyrillic host in its "xn--" form, a default port left out, anything else beyond ASCII in the
// path percent-encoded as UTF-8, and one "/" at the end. `room` must be ForumRootRoom or more.
ForumVerdict ForumRootFromArgument(const char16_t* argument, char* root, int32_t room);

// "xn--" and the Punycode of `length` code points (lower case already); the bytes written, or 0
// when they would not fit in `room` with a terminator.
int32_t IdnaLabel(const char32_t* label, int32_t length, char* out, int32_t room);

// The name of the kernel object by which the one copy watching `root` is found: the root itself
// behind a prefix, or for a root too long for an object name its start and a hash of the whole.
constexpr int32_t ForumCopyNameRoom = 200;
void ForumCopyName(const char* root, char* out);  // out holds ForumCopyNameRoom bytes
