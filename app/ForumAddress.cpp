#include "app/ForumAddress.h"

#include <cstring>

namespace {

constexpr char IdnaPrefix[] = "xn--";
constexpr char CopyNamePrefix[] = "Local\\forumwatch ";
constexpr int32_t CopyNameRootPart = 150;  // bytes of a long root kept before its hash

// Punycode's parameters (RFC 3492).
constexpr uint32_t Base = 36, TMin = 1, TMax = 26, Skew = 38, Damp = 700;
constexpr uint32_t InitialBias = 72, InitialN = 128;

uint32_t Adapt(uint32_t delta, uint32_t points, bool first) {
    delta = first ? delta / Damp : delta / 2;
    delta += delta / points;
    uint32_t k = 0;
    for (; delta > ((Base - TMin) * TMax) / 2; k += Base)
        delta /= Base - TMin;
    return k + (Base - TMin + 1) * delta / (delta + Skew);
}

char Digit(uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); }

// Appends to a buffer of fixed room; once something does not fit, the whole result is refused.
struct Out {
    char* text;
    int32_t room;
    int32_t length;
    bool full;
    void Put(char c) {
        if (length + 1 < room)
            text[length++] = c;
        else
            full = true;
    }
    void Put(const char* s) {
        while (*s)
            Put(*s++);
    }
};

bool IsAsciiHostByte(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Upper case to lower in ASCII and in the Cyrillic letters a host may hold; 0 for a letter the
// watcher cannot map (every other script would need the full case and normalisation tables, and
// a host mapped wrongly would name another site).
char32_t HostLower(char32_t c) {
    if (c >= 'A' && c <= 'Z')
        return c + ('a' - 'A');
    if (c < 0x80)
        return c;
    if (c >= 0x0410 && c <= 0x042F)  // А to Я
        return c + 0x20;
    if (c >= 0x0400 && c <= 0x040F)  // Ѐ to Џ
        return c + 0x50;
    if (c >= 0x0430 && c <= 0x045F)
        return c;
    return 0;
}

// A byte the root may not hold anywhere: they end or split an argument, quote it, or make the
// root something other than a folder (a query or a fragment after which "phpBB2/" means nothing).
bool Forbidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) ||
           (c < 0x80 && std::strchr(" \"'`<>\\?#", static_cast<int>(c)));
}

// One host label, lower-cased, ASCII or Cyrillic; false when the host cannot be put into ASCII.
ForumVerdict PutLabel(const char32_t* from, int32_t length, Out* out) {
    if (length == 0 || length > ForumLabelCap || from[0] == '-' || from[length - 1] == '-')
        return ForumVerdict::Refused;
    char32_t label[ForumLabelCap];
    bool ascii = true;
    for (int32_t i = 0; i < length; i++) {
        label[i] = HostLower(from[i]);
        if (!label[i])
            return ForumVerdict::HostNotAscii;
        if (label[i] < 0x80 && !IsAsciiHostByte(label[i]))
            return ForumVerdict::Refused;
        ascii = ascii && label[i] < 0x80;
    }
    char encoded[ForumLabelCap + 1];
    const int32_t written = ascii ? 0 : IdnaLabel(label, length, encoded, sizeof encoded);
    if (!ascii && !written)
        return ForumVerdict::Refused;  // longer than a label may be
    for (int32_t i = 0; ascii && i < length; i++)
        out->Put(static_cast<char>(label[i]));
    if (!ascii)
        out->Put(encoded);
    return ForumVerdict::Usable;
}

// Digits for 1 to 65535; the scheme's own port is left out, so both spellings name one forum.
bool PutPort(const char32_t* from, int32_t length, bool https, Out* out) {
    uint32_t port = 0;
    for (int32_t i = 0; i < length; i++) {
        if (from[i] < '0' || from[i] > '9' || port > 65535)
            return false;
        port = port * 10 + (from[i] - '0');
    }
    if (length == 0 || port == 0 || port > 65535)
        return false;
    if (port == (https ? 443u : 80u))
        return true;
    char digits[8];
    int32_t n = 0;
    for (; port; port /= 10)
        digits[n++] = static_cast<char>('0' + port % 10);
    out->Put(':');
    while (n)
        out->Put(digits[--n]);
    return true;
}

void PutEncoded(char32_t c, Out* out) {
    unsigned char bytes[4];
    int32_t n;
    if (c < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | c >> 6);
        n = 1;
    } else if (c < 0x10000) {
        bytes[0] = static_cast<unsigned char>(0xE0 | c >> 12);
        bytes[1] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
        n = 2;
    } else {
        bytes[0] = static_cast<unsigned char>(0xF0 | c >> 18);
        bytes[1] = static_cast<unsigned char>(0x80 | (c >> 12 & 0x3F));
        bytes[2] = static_cast<unsigned char>(0x80 | (c >> 6 & 0x3F));
        n = 3;
    }
    bytes[n++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    for (int32_t i = 0; i < n; i++) {
        out->Put('%');
        out->Put("0123456789ABCDEF"[bytes[i] >> 4]);
        out->Put("0123456789ABCDEF"[bytes[i] & 0xF]);
    }
}

int32_t Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// The argument as code points, at most the cap in UTF-8 bytes; -1 for a broken surrogate pair,
// a byte the root may not hold or a longer argument.
int32_t Decode(const char16_t* from, char32_t* to) {
    int32_t count = 0, bytes = 0;
    for (const char16_t* p = from; *p; p++) {
        char32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            p++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return -1;
        }
        bytes += Utf8Length(c);
        if (Forbidden(c) || bytes > ForumArgumentCap)
            return -1;
        to[count++] = c;
    }
    return count;
}

bool StartsWith(const char32_t* text, int32_t length, const char* prefix) {
    int32_t i = 0;
    for (; prefix[i]; i++)
        if (i >= length || HostLower(text[i]) != static_cast<char32_t>(prefix[i]))
            return false;
    return true;
}

}  // namespace

int32_t IdnaLabel(const char32_t* label, int32_t length, char* text, int32_t room) {
    Out out{text, room, 0, false};
    out.Put(IdnaPrefix);
    uint32_t basic = 0;
    for (int32_t i = 0; i < length; i++)
        if (label[i] < 0x80) {
            out.Put(static_cast<char>(label[i]));
            basic++;
        }
    if (basic)
        out.Put('-');
    uint32_t n = InitialN, delta = 0, bias = InitialBias;
    for (uint32_t handled = basic; handled < static_cast<uint32_t>(length) && !out.full;
         delta++, n++) {
        uint32_t m = 0x10FFFF;
        for (int32_t i = 0; i < length; i++)
            if (label[i] >= n && label[i] < m)
                m = label[i];
        delta += (m - n) * (handled + 1);  // a label of 63 code points cannot overflow this
        n = m;
        for (int32_t i = 0; i < length; i++) {
            if (label[i] < n)
                delta++;
            if (label[i] != n)
                continue;
            uint32_t q = delta;
            for (uint32_t k = Base;; k += Base) {
                const uint32_t t = k <= bias ? TMin : k >= bias + TMax ? TMax : k - bias;
                if (q < t)
                    break;
                out.Put(Digit(t + (q - t) % (Base - t)));
                q = (q - t) / (Base - t);
            }
            out.Put(Digit(q));
            bias = Adapt(delta, handled + 1, handled == basic);
            delta = 0;
            handled++;
        }
    }
    if (out.full)
        return 0;
    text[out.length] = '\0';
    return out.length;
}

ForumVerdict ForumRootFromArgument(const char16_t* argument, char* root, int32_t room) {
    char32_t text[ForumArgumentCap];
    const int32_t length = argument ? Decode(argument, text) : -1;
    const bool https = length >= 0 && StartsWith(text, length, "https://");
    if (length < 0 || (!https && !StartsWith(text, length, "http://")))
        return ForumVerdict::Refused;
    Out out{root, room, 0, false};
    out.Put(https ? "https://" : "http://");
    int32_t at = https ? 8 : 7;
    int32_t hostEnd = at;
    while (hostEnd < length && text[hostEnd] != '/' && text[hostEnd] != ':')
        hostEnd++;
    const int32_t hostStart = out.length;
    for (int32_t label = at; label <= hostEnd; label++) {
        int32_t end = label;
        while (end < hostEnd && text[end] != '.')
            end++;
        if (label > at)
            out.Put('.');
        const ForumVerdict verdict = PutLabel(text + label, end - label, &out);
        if (verdict != ForumVerdict::Usable)
            return verdict;
        label = end;
    }
    if (out.length - hostStart > ForumHostCap)
        return ForumVerdict::Refused;
    at = hostEnd;
    if (at < length && text[at] == ':') {
        int32_t portEnd = ++at;
        while (portEnd < length && text[portEnd] != '/')
            portEnd++;
        if (!PutPort(text + at, portEnd - at, https, &out))
            return ForumVerdict::Refused;
        at = portEnd;
    }
    for (; at < length; at++)
        if (text[at] < 0x80)
            out.Put(static_cast<char>(text[at]));
        else
            PutEncoded(text[at], &out);
    if (out.length == 0 || root[out.length - 1] != '/')
        out.Put('/');
    if (out.full || out.length > ForumArgumentCap)
        return ForumVerdict::Refused;
    root[out.length] = '\0';
    return ForumVerdict::Usable;
}

// An object name holds at most MAX_PATH characters; a longer one fails to be made, and with it
// the single copy. FNV-1a tells long roots apart well enough for that.
void ForumCopyName(const char* root, char* out) {
    Out name{out, ForumCopyNameRoom, 0, false};
    name.Put(CopyNamePrefix);
    const size_t length = std::strlen(root);
    if (length + sizeof CopyNamePrefix <= static_cast<size_t>(ForumCopyNameRoom)) {
        name.Put(root);
    } else {
        uint64_t hash = 14695981039346656037ull;
        for (size_t i = 0; i < length; i++)
            hash = (hash ^ static_cast<unsigned char>(root[i])) * 1099511628211ull;
        for (int32_t i = 0; i < CopyNameRootPart; i++)
            name.Put(root[i]);
        name.Put(' ');
        for (int32_t shift = 60; shift >= 0; shift -= 4)
            name.Put("0123456789abcdef"[hash >> shift & 0xF]);
    }
    out[name.length] = '\0';
}
