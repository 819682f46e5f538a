#include <gtest/gtest.h>

#include "AppTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

std::vector<std::string> Lines(const std::string& Page) {
    std::vector<std::string> R;
    std::size_t At = 0;
    for (;;) {
        const std::size_t E = Page.find("\r\n", At);
        if (E == std::string::npos) {
            R.push_back(Page.substr(At));
            return R;
        }
        R.push_back(Page.substr(At, E - At));
        At = E + 2;
    }
}

}  // namespace

TEST(TestPage, OpaqueFirstFrame) {
    TWindowFixture W;
    const std::string Swf = W.PutFile("out", "anim.swf", Bytes(1234, 0));
    W.Form->ShowHTML(Swf, "120", "60", false);
    ASSERT_EQ(W.Platform.Opened.size(), 1u);
    const std::string Html = W.Platform.Folder("out") + "anim.html";
    EXPECT_EQ(W.Platform.Opened[0], Html);
    const Bytes B = ReadFileBytes(Html);
    const std::string Page(B.begin(), B.end());
    const std::vector<std::string> L = Lines(Page);
    // 21 lines, then the final line break (an empty last piece).
    ASSERT_EQ(L.size(), 22u);
    EXPECT_EQ(L.back(), "");
    const std::vector<std::string> Expected = {
        "<html>",
        "<head>",
        "<title>Test page for anim.swf</title>",
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
        "</head>",
        "<body bgcolor=\"#CCCCCC\" text=\"#000000\">",
        "<p align=\"center\"><font size=\"6\" color=\"#000000\">HTML Sample Page.</font></p>",
        "<font color=\"#000000\">File: anim.swf</font><BR>",
        "",
        "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" "
        "codebase=\"http://download.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=5,0,0,0\" "
        "width=\"120\" height=\"60\">",
        "    <param name=\"movie\" value=\"anim.swf\">",
        "    <param name=\"quality\" value=\"high\">",
        "    <embed src=\"anim.swf\" quality=\"high\" "
        "pluginspage=\"http://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash\"",
        "type=\"application/x-shockwave-flash\" width=\"120\" height=\"60\">",
        "    </embed>",
        "</object>",
        "",
        "<BR>",
        "<font color=\"#000000\">File size: 1234 bytes</font>",
        "</body>",
        "</html>"};
    for (std::size_t I = 0; I < Expected.size(); ++I) EXPECT_EQ(L[I], Expected[I]) << "line " << I + 1;
    EXPECT_EQ(Page.find("wmode"), std::string::npos);
}

TEST(TestPage, TransparentFirstFrame) {
    const std::string Page = BuildTestPage("a.swf", "1", "2", "3", true);
    const std::vector<std::string> L = Lines(Page);
    ASSERT_EQ(L.size(), 22u);  // one line more, no final break here
    EXPECT_EQ(L[12], "    <param name=\"wmode\" value=\"transparent\">");
    EXPECT_EQ(L[13],
              "    <embed src=\"a.swf\" quality=\"high\" wmode=\"transparent\" "
              "pluginspage=\"http://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash\"");
}

TEST(TestPage, PlaceholdersAnyCaseAndChained) {
    // Names are replaced after the sizes; a value put in by an earlier
    // replacement meets the later ones, letter case ignored.
    const std::string Page = BuildTestPage("x%nn%y.swf", "%tt%", "7", "0", false);
    EXPECT_NE(Page.find("value=\"x%25nn%25y.swf\""), std::string::npos) << Page;  // a URL: no placeholder
    EXPECT_NE(Page.find("<title>Test page for x%nn%y.swf</title>"), std::string::npos);  // %TT% last
    EXPECT_NE(Page.find("width=\"x%nn%y.swf\" height=\"7\""), std::string::npos) << Page;
    TWindowFixture W;
    W.Form->ShowHTML(W.Platform.Folder("out") + "gone.swf", "1", "1", false);
    const Bytes B = ReadFileBytes(W.Platform.Folder("out") + "gone.html");
    EXPECT_NE(std::string(B.begin(), B.end()).find("File size: 0 bytes"), std::string::npos);
}

// Names as Linux users have them: the page stays ASCII, the name reads
// right as text (character references) and loads as a URL (UTF-8,
// percent-encoded); a plain name is written as it is.
TEST(TestPage, NamesThatNeedEscaping) {
    struct Case {
        const char* Name;
        const char* Text;
        const char* Url;
    };
    for (const Case& C : {Case{"Plain-name_1(2)~.swf", "Plain-name_1(2)~.swf", "Plain-name_1(2)~.swf"},
                          Case{"s \xC3\xA9.swf", "s &#233;.swf", "s%20%C3%A9.swf"},
                          Case{"a&b.swf", "a&amp;b.swf", "a%26b.swf"},
                          Case{"q\"uote.swf", "q&quot;uote.swf", "q%22uote.swf"},
                          Case{"<x>.swf", "&lt;x&gt;.swf", "%3Cx%3E.swf"},
                          Case{"100%#?:.swf", "100%#?:.swf", "100%25%23%3F%3A.swf"},
                          Case{"\xF0\x9F\x98\x80\xFF.swf", "&#128512;&#65533;.swf", "%F0%9F%98%80%FF.swf"}}) {
        SCOPED_TRACE(C.Name);
        const std::string Page = BuildTestPage(C.Name, "1", "2", "3", false);
        for (const char Byte : Page) EXPECT_LT(static_cast<unsigned char>(Byte), 0x80u);
        EXPECT_NE(Page.find("<title>Test page for " + std::string(C.Text) + "</title>"), std::string::npos) << Page;
        EXPECT_NE(Page.find("File: " + std::string(C.Text) + "</font>"), std::string::npos);
        EXPECT_NE(Page.find("<param name=\"movie\" value=\"" + std::string(C.Url) + "\">"), std::string::npos);
        EXPECT_NE(Page.find("<embed src=\"" + std::string(C.Url) + "\" "), std::string::npos);
    }
}
