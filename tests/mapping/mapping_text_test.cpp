#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "mapping/mapping_hints.h"
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

// "unknownSection 3 [EvMap] \"[EVMAP]\"": kind, line, section in force, text.
std::string describe(const MappingHint& hint) {
    static const char* const kKinds[] = {"unknownSection", "unclosedBrace", "notANumber", "outOfRange", "unlisted"};
    const std::string_view section = sectionHeader(hint.section);
    return std::string(kKinds[static_cast<int>(hint.kind)]) + " " + std::to_string(hint.line) + " " +
           (section.empty() ? "-" : std::string(section)) + " \"" + hint.text + "\"";
}

// Lines that are skipped although they look meant are noted, with the line
// (counted from 1, a byte-order mark's line too) and the section in force.
TEST(MappingText, NotesLinesThatAreSkippedButLookMeant) {
    struct HintCase {
        const char* name;
        std::string text;
        std::vector<std::string> hints;
    };
    std::vector<HintCase> cases = {
        {"a header in the wrong case, before any section", "[EVMAP]\n1{2}\n", {"unknownSection 1 - \"[EVMAP]\""}},
        {"a header with a blank after it, inside a section", "\xEF\xBB\xBF[EvMap]\n1{2}\n[E@Map] \n2{3}\n",
         {"unknownSection 3 [EvMap] \"[E@Map] \""}},
        {"indented brackets", "[ApMap]\n  [Foo\n", {"unknownSection 2 [ApMap] \"  [Foo\""}},
        {"a brace never closed, or closed before it opens", "[EnMap]\n1{2,3\r\n2}{\n3{4}\n",
         {"unclosedBrace 2 [EnMap] \"\"", "unclosedBrace 3 [EnMap] \"\""}},
        {"no section yet: every line is skipped anyway", "1{2\n", {}},
        {"brackets in an entry are no header", "[EvMap]\n#[x]\n1{2}[x]\n", {}},
    };
    // A flood of odd lines is counted, not listed line by line.
    HintCase flood{"a thousand odd lines", "[EvMap]\n", {}};
    for (int i = 0; i < 1000; ++i) flood.text += "1{2\n";
    for (int i = 0; i < kMostMappingWarnings; ++i) {
        flood.hints.push_back("unclosedBrace " + std::to_string(i + 2) + " [EvMap] \"\"");
    }
    flood.hints.push_back("unlisted " + std::to_string(1000 - kMostMappingWarnings) + " - \"\"");
    cases.push_back(flood);
    for (const HintCase& c : cases) {
        MappingTables tables;
        std::vector<MappingHint> hints;
        parseMappingText(tables, c.text, &hints);
        std::vector<std::string> described;
        for (const MappingHint& h : hints) described.push_back(describe(h));
        EXPECT_EQ(described, c.hints) << c.name;
    }
}

// The error of a malformed number carries where it lies: the text read as a
// number, its line and its section.
TEST(MappingText, MalformedNumberCarriesItsPlace) {
    struct PlaceCase {
        std::string text;
        std::string place;
    };
    const std::vector<PlaceCase> cases = {
        {"[E@Map]\n1{a}\n[EvMap]\n\n2{15, x}\n", "notANumber 5 [EvMap] \"x\""},
        {"[EmoMap]\n abc{1}\n", "notANumber 2 [EmoMap] \" abc\""},
        {"[ApMap]\r\nE99999999999{1}\r\n", "outOfRange 2 [ApMap] \"99999999999\""},
        {"[EvMap]\n1{" + std::string(39, '1') + "\xC3\xA9" + std::string(100000, '9') + "}\n",
         "outOfRange 2 [EvMap] \"" + std::string(39, '1') + "...\""},
    };
    for (const PlaceCase& c : cases) {
        MappingTables tables;
        try {
            parseMappingText(tables, c.text);
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const MappingNumberPlace& place) {
            EXPECT_EQ(describe(place.hint), c.place);
        }
    }
}

// The lines a log shows for each kind of hint.
TEST(MappingHintLine, NamesFileLineAndWhatTheLoaderDoes) {
    using K = MappingHintKind;
    using S = MappingSection;
    EXPECT_EQ(mappingHintLine({K::notANumber, 12, S::EvMap, "x"}, "music/tve.txt"),
              "[TVE] music/tve.txt:12 [EvMap]: \"x\" is not a number");
    EXPECT_EQ(mappingHintLine({K::outOfRange, 3, S::ApMap, "99999999999"}, "tve.txt"),
              "[TVE] tve.txt:3 [ApMap]: \"99999999999\" is out of range");
    EXPECT_EQ(mappingHintLine({K::unclosedBrace, 9, S::EnMap, ""}, "tve.txt"),
              "[TVE] warning: tve.txt:9: \"{\" without \"}\"; the line is skipped");
    EXPECT_EQ(mappingHintLine({K::unknownSection, 7, S::None, "[EVMAP]"}, "tve.txt"),
              "[TVE] warning: tve.txt:7: unknown section \"[EVMAP]\" (did you mean \"[EvMap]\"?); the line is "
              "skipped, and so are the lines after it up to the next known section");
    EXPECT_EQ(mappingHintLine({K::unknownSection, 7, S::EmoMap, "[ e@map"}, "tve.txt"),
              "[TVE] warning: tve.txt:7: unknown section \"[ e@map\" (did you mean \"[E@Map]\"?); the line is "
              "skipped, and the lines after it still go to [EmoMap]");
    EXPECT_EQ(mappingHintLine({K::unlisted, 900, S::None, ""}, "tve.txt"),
              "[TVE] warning: tve.txt: 900 more lines skipped as above, not listed");
    EXPECT_EQ(mappingHintLine({K::unknownSection, 2, S::ApMap, "[Drums]"}, "tve.txt"),
              "[TVE] warning: tve.txt:2: unknown section \"[Drums]\" (the sections are [EvMap], [E@Map], [EnMap], "
              "[EmoMap] and [ApMap]); the line is skipped, and the lines after it still go to [ApMap]");
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
