#include <gtest/gtest.h>

#include <string>

#include "report/report_view.h"
#include "report/xml_text.h"

namespace tonequill {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(XmlText, EscapesMarkupAndReplacesWhatXmlCannotHold) {
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f"},
        {"tab\tline\ncr\r", "tab\tline\ncr\r"},
        {"caf\xC3\xA9 \xF0\x9F\x8E\xB9", "caf\xC3\xA9 \xF0\x9F\x8E\xB9"},  // é and a 4-byte character stay
        {std::string("\x01\x00x", 3), kReplacement + kReplacement + "x"},
        {"\xFF", kReplacement},
        {"\xC0\x80", kReplacement + kReplacement},  // overlong
        {"\xED\xA0\x80", kReplacement},            // a surrogate
        {"\xEF\xBF\xBE", kReplacement},            // U+FFFE
        {"\xE2\x82", kReplacement + kReplacement},  // cut short
    };
    for (const Case& c : cases) EXPECT_EQ(xmlText(c.in), c.out) << c.in;
}

TEST(PrintableText, KeepsUtf8AndShowsOtherBytesAsHex) {
    EXPECT_EQ(printableText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(printableText(std::string("a\x01\xFF\\", 4)), "a\\x01\\xFF\\\\");
    EXPECT_EQ(printableText("\xC2\x85"), "\\xC2\\x85");  // a C1 control character
}

TEST(NoteName, MiddleCIsC4) {
    EXPECT_EQ(noteName(60), "C4");
    EXPECT_EQ(noteName(61), "C#4");
    EXPECT_EQ(noteName(0), "C-1");
    EXPECT_EQ(noteName(127), "G9");
}

}  // namespace
}  // namespace tonequill
