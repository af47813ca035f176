#include "app/Scanner.h"

#include "toolkit/text/Scratch.h"
#include "toolkit/text/Str.h"
#include "toolkit/text/StrVar.h"

namespace {
constexpr char TotalOpen[] = "<b>";
constexpr char TotalClose[] = "</b>";
constexpr char UsersEnd[] = "</span></td>";
// Taken out of the users text in this order, before the names are split off.
constexpr const char* UsersNoise[] = {"</a>", "</b>", "<b>"};
constexpr char TagOpen[] = "<";
constexpr char TagClose[] = ">";
// Ends every entry; one is appended so that the last entry ends like the others.
constexpr char EntryEnd[] = ",";

// Frees a procedure's own string variables when it returns, after its result is in the area.
struct StrVarsGuard {
    StrVar* vars[3];
    StrVarsGuard(StrVar* a, StrVar* b, StrVar* c) : vars{a, b, c} {}
    ~StrVarsGuard() {
        for (StrVar* var : vars)
            StrVarFree(*var);
    }
    StrVarsGuard(const StrVarsGuard&) = delete;
    StrVarsGuard& operator=(const StrVarsGuard&) = delete;
};
}  // namespace

char* ExtractBetween(const char* text, const char* left, const char* right, int32_t pos) {
    // Own copies first: a caller may pass results that still lie in the area, which the
    // result below overwrites or moves.
    StrVar t = nullptr, l = nullptr, r = nullptr;
    StrVarsGuard guard(&t, &l, &r);
    StrVarInit(&t, text);
    StrVarInit(&l, left);
    StrVarInit(&r, right);
    int32_t p = StrFind(t, l, 1);
    if (p == 0)
        return ScratchEmptyAt(pos);
    // What follows the first left end, read in place in our own copy: copying it out as well
    // would measure and move the whole users text once more on every pass.
    const char* rest = t + (p - 1) + StrLen(l);
    int32_t q = StrFind(rest, r, 1);
    return StrLeft(rest, q - 1, pos);  // a missing right end makes the count -1: empty
}

// Where this scan may build: past the caller's line when that lies in the area, so the
// caller can hand the same line to the next rule.
static int32_t BuildPosAfter(const char* line) {
    int32_t pos = ScratchEnd();
    int32_t at = ScratchPosOf(line);
    if (at != ScratchOutside) {
        int32_t past = at + StrLen(line) + 1;  // one past the line's terminator
        if (past > pos)
            pos = past;
    }
    return pos;
}

bool TotalFromLine(const char* line, StrVar* total) {
    if (StrFind(line, TotalMarker, 1) == 0)
        return false;
    if (!total)
        return true;
    const ScratchMark mark;
    int32_t pos = BuildPosAfter(line);
    // From the start of the line, not from the marker: the first bold run anywhere counts.
    ExtractBetween(line, TotalOpen, TotalClose, pos);
    StrVarFromScratch(total, pos);
    return true;
}

// s = StrRemove(s, needle) for a needle built in the area at pos by the caller; returns the
// new length of s.
static int32_t RemovePassed(StrVar* s, int32_t pos) {
    const ScratchMark built(pos);
    const char* needle = built.Pass();
    int32_t out = ScratchEnd();
    StrRemove(*s, needle, out);
    int32_t len = ScratchEnd() - out;
    StrVarFromScratch(s, out);
    return len;
}

// One pass: the first remaining tag goes everywhere it occurs, then the text before the
// first comma is the row, and that text with its comma goes everywhere it occurs. Returns the
// length of s after the pass.
static int32_t SplitOffRow(StrVar* s, StrVar* tag, StrVar* name, int32_t pos) {
    ExtractBetween(*s, TagOpen, TagClose, pos);
    StrVarFromScratch(tag, pos);
    StrAppend(TagOpen);
    StrAppend(*tag);
    StrAppend(TagClose);
    RemovePassed(s, pos);

    StrLeft(*s, StrFind(*s, EntryEnd, 1) - 1, pos);
    StrVarFromScratch(name, pos);
    StrAppend(*name);
    StrAppend(EntryEnd);
    return RemovePassed(s, pos);
}

bool UsersFromLine(const char* line, RowSink sink, void* context, int32_t* count) {
    if (count)
        *count = 0;
    if (StrFind(line, UsersMarker, 1) == 0)
        return false;
    const ScratchMark mark;
    int32_t pos = BuildPosAfter(line);
    StrVar s = nullptr, tag = nullptr, name = nullptr;
    StrVarsGuard guard(&s, &tag, &name);

    ExtractBetween(line, UsersMarker, UsersEnd, pos);
    StrAppend(EntryEnd);
    StrVarFromScratch(&s, pos);
    for (const char* noise : UsersNoise) {
        StrRemove(s, noise, pos);
        StrVarFromScratch(&s, pos);
    }

    // One pass per opening tag, plus one for whatever follows the last tag: with no links
    // at all that is the page's own plain text, otherwise an empty row.
    int64_t passes = static_cast<int64_t>(StrCount(s, TagClose)) + 1;
    int32_t rows = 0;
    int32_t length = StrLen(s);
    for (int64_t i = 0; i < passes; ++i) {
        int32_t before = length;
        length = SplitOffRow(&s, &tag, &name, pos);
        if (sink)
            sink(context, name ? name : "");
        ++rows;
        // Passes only ever remove bytes, so an unchanged length means an unchanged text: every
        // later pass would yield this same row, and a line full of ">" must not cost a full
        // pass per byte.
        if (length == before) {
            for (++i; i < passes; ++i, ++rows)
                if (sink)
                    sink(context, name ? name : "");
        }
    }
    if (count)
        *count = rows;
    return true;
}
