#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mapping/mapping_loader.h"

namespace tonequill {
namespace {

// One line per entry, tables in the order of the summary, keys ascending:
//   EvMap 1: 15 "L" 8      number items bare, text items quoted
//   E@Map 2: [a] [b]       every token in brackets; an empty list ends at ":"
std::string describe(const MappingTables& tables) {
    std::string out;
    const auto tokenTable = [&out](const char* label, const std::map<int32_t, TokenList>& table) {
        for (const auto& [key, tokens] : table) {
            out += std::string(label) + " " + std::to_string(key) + ":";
            for (const auto& token : tokens) out += " [" + token + "]";
            out += "\n";
        }
    };
    tokenTable("E@Map", tables.eAtMap);
    for (const auto& [key, definition] : tables.evMap) {
        out += "EvMap " + std::to_string(key) + ":";
        for (const auto& item : definition.items) {
            out += item.kind == 0 ? " " + std::to_string(item.value) : " \"" + item.text + "\"";
            // A number item carries no text and a text item no value.
            if (item.kind == 0) {
                EXPECT_EQ(item.text, "");
            } else {
                EXPECT_EQ(item.value, 0);
            }
        }
        out += "\n";
    }
    tokenTable("EnMap", tables.enMap);
    tokenTable("EmoMap", tables.emoMap);
    tokenTable("ApMap(PC)", tables.apPcMap);
    tokenTable("ApMap(CC)", tables.apCcMap);
    return out;
}

std::string parsed(const std::string& text) {
    MappingTables tables;
    parseMappingText(tables, text);
    return describe(tables);
}

struct Case {
    const char* name;
    std::string text;
    std::string tables;
};

TEST(MappingText, FillsTheTablesLineByLine) {
    const std::vector<Case> cases = {
        {"example file",
         "[EvMap]\n#short decay for key 1\n1{15,14,12,10,L,8,R,4}\n[ApMap]\nE64{ 1, 2 }\n",
         "EvMap 1: 15 14 12 10 \"L\" 8 \"R\" 4\nApMap(CC) 64: [1] [2]\n"},
        {"empty file", "", ""},
        {"blank lines and a last line without LF", "\n\n[E@Map]\n\n1{a}", "E@Map 1: [a]\n"},
        {"comment only at column 0; # elsewhere is text",
         "[E@Map]\n#1{x}\n  # not a comment, but holds no brace\n2{a#b}#c\n",
         "E@Map 2: [a#b]\n"},
        {"data lines before the first header are skipped", "1{a}\nx{y}\n[EnMap]\n2{b}\n", "EnMap 2: [b]\n"},
        {"headers are exact: trailing blank, case, unknown name",
         "[EvMap]\n1{2}\n[EnMap] \n3{4}\n[enmap]\n5{6}\n[Other]\n7{8}\n",
         "EvMap 1: 2\nEvMap 3: 4\nEvMap 5: 6\nEvMap 7: 8\n"},
        {"a header with a trailing blank starts no section", "[EvMap] \n1{2}\n", ""},
        {"repeated sections go on filling their table",
         "[E@Map]\n1{a}\n[EnMap]\n1{b}\n[E@Map]\n2{c}\n",
         "E@Map 1: [a]\nE@Map 2: [c]\nEnMap 1: [b]\n"},
        {"a later line with the same key replaces the entry whole", "[EvMap]\n3{1,2}\n3{5}\n", "EvMap 3: 5\n"},
        {"keys ascend whatever the line order", "[E@Map]\n10{a}\n-2{b}\n3{c}\n",
         "E@Map -2: [b]\nE@Map 3: [c]\nE@Map 10: [a]\n"},
        {"key text up to the first {, body up to the next }, rest ignored",
         "[E@Map]\n12 abc{a}tail}x{y}\n  5\t{b{c}\n6}{d}\n",
         "E@Map 5: [b{c]\nE@Map 6: [d]\nE@Map 12: [a]\n"},
        {"lines without both braces are skipped", "[EvMap]\n1{2\n3 4}\nx\n", ""},
        {"commas and blanks separate tokens alike",
         "[EnMap]\n1{15,14, 13}\n2{15 14 13}\n3{\t,a,,b\t c ,}\n",
         "EnMap 1: [15] [14] [13]\nEnMap 2: [15] [14] [13]\nEnMap 3: [a] [b] [c]\n"},
        {"empty lists make entries except in [ApMap]",
         "[E@Map]\n2{}\n[EvMap]\n7{ , }\n[ApMap]\n2{}\n3{ , ,}\n99999999999{}\n",
         "E@Map 2:\nEvMap 7:\n"},
        {"[EvMap] D joins a following integer token",
         "[EvMap]\n7{D,3,10}\n8{D}\n9{D,-2,D,+7}\n10{D4,Dx,D,L,D,D,1}\n",
         "EvMap 7: \"D3\" 10\nEvMap 8: \"D\"\nEvMap 9: \"D-2\" \"D+7\"\n"
         "EvMap 10: \"D4\" \"Dx\" \"D\" \"L\" \"D\" \"D1\"\n"},
        {"[EvMap] numbers read up to the first non-digit",
         "[EvMap]\n1{+5,12x,-0,2147483647,-2147483648}\n-2147483648{R}\n",
         "EvMap -2147483648: \"R\"\nEvMap 1: 5 12 0 2147483647 -2147483648\n"},
        {"[EmoMap] D or d joins a following integer token as D; nothing is read as a number",
         "[EmoMap]\n1{d,+2,x}\n2{D,y,d}\n3{d3,D,12,L}\n",
         "EmoMap 1: [D+2] [x]\nEmoMap 2: [D] [y] [d]\nEmoMap 3: [d3] [D12] [L]\n"},
        {"[ApMap] keys: trimmed number, E or e and a number, else skipped",
         "[ApMap]\n12 {a}\ne5{b}\n\tE+7 \t{c,d}\nE-1{z}\n-3{y}\nE{a}\nP5{a}\nE 5{a}\nx{a}\n5x{a}\n",
         "ApMap(PC) -3: [y]\nApMap(PC) 12: [a]\nApMap(CC) -1: [z]\nApMap(CC) 5: [b]\nApMap(CC) 7: [c] [d]\n"},
        {"CR before LF is not part of the line", "[EvMap]\r\n1{2}\r\n[E@Map]\r\n3{a b}\r\n",
         "E@Map 3: [a] [b]\nEvMap 1: 2\n"},
        {"a lone CR stays in the line", "[EvMap]\r\r\n1{2}\n[E@Map]\n3{a\rb}\n", "E@Map 3: [a\rb]\n"},
        {"a byte-order mark before the first header is skipped", "\xEF\xBB\xBF[EvMap]\n1{2}\n", "EvMap 1: 2\n"},
        {"a byte-order mark before a comment", "\xEF\xBB\xBF#note\n[EnMap]\n1{a}\n", "EnMap 1: [a]\n"},
        {"only one byte-order mark, only at the very start",
         "\xEF\xBB\xBF\xEF\xBB\xBF[EvMap]\n1{2}\n[E@Map]\n\xEF\xBB\xBF[EvMap]\n3{x}\n",
         "E@Map 3: [x]\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(parsed(c.text), c.tables) << c.name;
}

TEST(MappingText, MalformedNumbersStopTheReading) {
    struct ErrorCase {
        const char* text;
        bool outOfRange;
    };
    const std::vector<ErrorCase> cases = {
        {"[EvMap]\nx{1}\n", false},
        {"[EvMap]\n{1}\n", false},
        {"[EvMap]\n1{l}\n", false},
        {"[EvMap]\n1{D,x}\n", false},
        {"[EvMap]\n1{d,3}\n", false},
        {"[E@Map]\nx12{a}\n", false},
        {"[E@Map]\n  #1{a}\n", false},
        {"[EnMap]\n{a}\n", false},
        {"[EmoMap]\n+{a}\n", false},
        {"[EvMap]\n2147483648{1}\n", true},
        {"[EvMap]\n1{-2147483649}\n", true},
        {"[EvMap]\nx{99999999999}\n", false},  // the key is read first
        {"[E@Map]\n99999999999999999999999{a}\n", true},
        {"[EnMap]\n-2147483649{a}\n", true},
        {"[EmoMap]\n2147483648{d,1}\n", true},
        {"[ApMap]\n2147483648{a}\n", true},
        {"[ApMap]\nE-2147483649{a}\n", true},
    };
    for (const ErrorCase& c : cases) {
        MappingTables tables;
        try {
            parseMappingText(tables, c.text);
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const std::out_of_range& e) {
            EXPECT_TRUE(c.outOfRange) << c.text;
            EXPECT_STREQ(e.what(), "stoi argument out of range");
        } catch (const std::invalid_argument& e) {
            EXPECT_FALSE(c.outOfRange) << c.text;
            EXPECT_STREQ(e.what(), "invalid stoi argument");
        }
    }
}

TEST(SplitTokens, CommasAndWhiteSpaceRunsSeparate) {
    using Tokens = std::vector<std::string>;
    EXPECT_EQ(splitTokens(""), Tokens{});
    EXPECT_EQ(splitTokens(" ,\t,, "), Tokens{});
    EXPECT_EQ(splitTokens("15,14, 13"), (Tokens{"15", "14", "13"}));
    EXPECT_EQ(splitTokens("\tD 4,,L\t\tx"), (Tokens{"D", "4", "L", "x"}));
}

}  // namespace
}  // namespace tonequill
