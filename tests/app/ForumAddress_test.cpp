#include "app/ForumAddress.h"

#include <gtest/gtest.h>

#include <codecvt>
#include <locale>
#include <string>

namespace {
// Cases are written in UTF-8 and handed over in UTF-16, as the command line gives them.
std::u16string Utf16(const std::string& text) {
    return std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t>{}.from_bytes(text);
}

std::string Root(const std::u16string& argument) {
    char root[ForumRootRoom];
    const ForumVerdict verdict = ForumRootFromArgument(argument.c_str(), root, sizeof root);
    return verdict == ForumVerdict::Usable    ? root
           : verdict == ForumVerdict::Refused ? "(refused)"
                                              : "(host not ASCII)";
}
}  // namespace

TEST(ForumRootFromArgument, NormalisesWhatItTakesAndRefusesTheRest) {
    const std::string cap = "http://a.org/" + std::string(ForumArgumentCap - 14, 'x') + "/";
    const std::string cases[][2] = {
        {"http://forum.example.org", "http://forum.example.org/"},
        {"HTTP://Forum.Example.ORG/phpbb", "http://forum.example.org/phpbb/"},
        {"https://example.org:443/", "https://example.org/"},  // the scheme's own port
        {"http://example.org:080/", "http://example.org/"},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/"},
        {"http://пример.рф/", "http://xn--e1afmkfd.xn--p1ai/"},
        {"http://ПРИМЕР.РФ", "http://xn--e1afmkfd.xn--p1ai/"},
        {"https://испытание.example:8443/a%20b", "https://xn--80akhbyknj4f.example:8443/a%20b/"},
        {"http://москва.рф/форум/", "http://xn--80adxhks.xn--p1ai/%D1%84%D0%BE%D1%80%D1%83%D0%BC/"},
        // The Punycode standard's Russian example, and a label with ASCII in it.
        {"http://почемужеонинеговорятпорусски.рф/",
         "http://xn--b1abfaaepdrnnbgefbadotcwatmq2g4l.xn--p1ai/"},
        {"http://тест1.рф/", "http://xn--1-itb0bcc.xn--p1ai/"},
        {cap, cap},
        {cap + "y", "(refused)"},  // one byte over
        {"http://παράδειγμα.δοκιμή/", "(host not ASCII)"},
        {"http://café.fr/", "(host not ASCII)"},
        {"ftp://example.org/", "(refused)"},
        {"example.org", "(refused)"},
        {"http://", "(refused)"},
        {"http:///phpBB2/", "(refused)"},
        {"http://exa mple.org/", "(refused)"},
        {"http://example.org/\"", "(refused)"},
        {"http://example.org/\t", "(refused)"},
        {"http://example.org/\x7f", "(refused)"},
        {"http://ex_ample.org/", "(refused)"},
        {"http://user@example.org/", "(refused)"},
        {"http://example.org:/", "(refused)"},
        {"http://example.org:0/", "(refused)"},
        {"http://example.org:65536/", "(refused)"},
        {"http://example.org:99999999999/", "(refused)"},
        {"http://example.org/?sid=1", "(refused)"},
        {"http://example.org/#top", "(refused)"},
        {"http://-a.org/", "(refused)"},
        {"http://a..org/", "(refused)"},
        {"http://a.org./", "(refused)"},
        {"http://" + std::string(ForumLabelCap + 1, 'a') + ".org/", "(refused)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Root(Utf16(c[0])), c[1]) << c[0];
    // 57 letters encode to the 63 bytes a label may hold, 58 to one byte more.
    EXPECT_EQ(Root(u"http://" + std::u16string(57, u'д') + u".org/"),
              "http://xn--d1a" + std::string(56, 'a') + ".org/");
    EXPECT_EQ(Root(u"http://" + std::u16string(58, u'д') + u".org/"), "(refused)");
    EXPECT_EQ(Root(u"http://a\xD800.org/"), "(refused)");  // half a surrogate pair
    EXPECT_EQ(Root(u"http://a.org/\xD83D\xDE00"), "http://a.org/%F0%9F%98%80/");
}

// Object names hold at most MAX_PATH characters: a long root keeps a name of its own.
TEST(ForumCopyName, FitsAndTellsLongRootsApart) {
    char a[ForumCopyNameRoom], b[ForumCopyNameRoom];
    ForumCopyName("http://a.org/", a);
    EXPECT_STREQ(a, "Local\\forumwatch http://a.org/");
    const std::string root = "http://a.org/" + std::string(1900, 'x');
    ForumCopyName((root + "1/").c_str(), a);
    ForumCopyName((root + "2/").c_str(), b);
    EXPECT_STRNE(a, b);
    EXPECT_LT(std::string(a).size(), size_t(ForumCopyNameRoom));
}
