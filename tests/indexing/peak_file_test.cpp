// SPDX-License-Identifier: GPL-3.0-or-later
// Peak lists: the strict JSON reader and the four file forms.
#include <gtest/gtest.h>

#include "errors.h"
#include "json_reader.h"
#include "lines.h"
#include "peak_file.h"

namespace dorvalix::indexing {
namespace {

struct BadJson {
    const char* text;
    const char* error;  // the start of the message
};

void PrintTo(const BadJson& c, std::ostream* os) {
    *os << c.text;
}

class RefusesBadJson : public ::testing::TestWithParam<BadJson> {};

TEST_P(RefusesBadJson, WithLineAndColumn) {
    std::string error;
    EXPECT_FALSE(ParseJson(GetParam().text, error));
    EXPECT_EQ(error.rfind(GetParam().error, 0), 0u) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, RefusesBadJson,
    ::testing::Values(BadJson{"{\"a\": 1,}", "line 1, column 9: a member name in quotes expected"},
                      BadJson{"[1, 2,]", "line 1, column 7: not a JSON value"},
                      BadJson{"{\"a\": 1} x", "line 1, column 10: text after the end of the value"},
                      BadJson{"{\"a\": 01}", "line 1, column 8: ',' or '}' expected"},
                      BadJson{"{\"a\": NaN}", "line 1, column 7: not a JSON value"},
                      BadJson{"{\"a\": 1, \"a\": 2}",
                              "line 1, column 13: a member name given twice"},
                      BadJson{"\"\\ud800\"", "line 1, column 8: a lone high surrogate"},
                      BadJson{"\"a\tb\"", "line 1, column 3: a control character in a string"},
                      BadJson{"// note\n{}", "line 1, column 1: not a JSON value"},
                      BadJson{"{\"a\":\n [1.}", "line 2, column 5: a digit expected after '.'"},
                      BadJson{"\"\xff\"", "line 1, column 1: the text is not UTF-8"},
                      BadJson{"", "line 1, column 1: the text ends where a value should be"}));

TEST(Json, NestingIsBounded) {
    std::string error;
    EXPECT_TRUE(ParseJson(std::string(64, '[') + std::string(64, ']'), error)) << error;
    EXPECT_FALSE(ParseJson(std::string(65, '[') + std::string(65, ']'), error));
    EXPECT_NE(error.find("nested deeper"), std::string::npos);
}

TEST(Json, ValuesAndEscapes) {
    std::string error;
    const auto v = ParseJson(
        "\xEF\xBB\xBF{\"s\": \"a\\u00e9\\ud83d\\ude00\\n\", \"n\": -1.5e-3, \"t\": [true, null]}",
        error);
    ASSERT_TRUE(v) << error;
    EXPECT_EQ(v->Find("s")->text, "a\xC3\xA9\xF0\x9F\x98\x80\n");
    EXPECT_EQ(v->Find("n")->text, "-1.5e-3");
    EXPECT_EQ(v->Find("t")->items.size(), 2u);
    EXPECT_EQ(v->Find("missing"), nullptr);
}

// The JSON of dorvalix-cli peaks: 2θ, intensities from the heights, the Kα1 wavelength.
TEST(PeakFile, PeaksJson) {
    const PeakFile f = ParsePeakFile(
        R"({"file": "x.xy", "format": "xy", "scan": 1,
            "wavelength": {"ka1": 1.540593, "ka2": 1.544414, "ratio": 0.5, "from": "file"},
            "background": {"kind": "spline"},
            "peaks": [{"two_theta": 28.44, "two_theta_su": 0.001, "d": 3.1355, "fwhm": 0.05, "height": 1234.0, "area": 80.0},
                      {"two_theta": 47.3, "d": 1.92, "area": 40.5}]})",
        "x.json");
    EXPECT_EQ(f.format, PeakFormat::Json);
    EXPECT_EQ(f.peaks.kind, PeakKind::TwoTheta);
    ASSERT_TRUE(f.peaks.wavelength);
    EXPECT_EQ(*f.peaks.wavelength, 1.540593L);
    ASSERT_EQ(f.peaks.peaks.size(), 2u);
    EXPECT_EQ(f.peaks.peaks[0].position, 28.44L);
    EXPECT_EQ(f.peaks.peaks[0].text, "28.44");
    EXPECT_EQ(*f.peaks.peaks[0].intensity, 1234.0L);
    EXPECT_EQ(*f.peaks.peaks[1].intensity, 40.5L);
}

TEST(PeakFile, TextForms) {
    const PeakFile twoTheta =
        ParsePeakFile("# made by hand\n# wavelength: 1.5406 A\n28.44  100\n\n47.30,55\n", "p.txt");
    EXPECT_EQ(twoTheta.format, PeakFormat::TwoTheta);
    EXPECT_EQ(*twoTheta.peaks.wavelength, 1.5406L);
    ASSERT_EQ(twoTheta.peaks.peaks.size(), 2u);
    EXPECT_EQ(*twoTheta.peaks.peaks[1].intensity, 55.0L);

    const PeakFile dList = ParsePeakFile("3.1355\r\n1.9201\r\n", "d.txt");
    EXPECT_EQ(dList.format, PeakFormat::DList);
    EXPECT_EQ(dList.peaks.kind, PeakKind::D);
    EXPECT_FALSE(dList.peaks.wavelength);
    EXPECT_EQ(dList.peaks.peaks[1].text, "1.9201");

    const PeakFile lat = ParsePeakFile("2 5\n 1 1 0 3.23\n 2 0 0 2.566\nname\n", "diopside.LAT");
    EXPECT_EQ(lat.format, PeakFormat::Lat);
    ASSERT_EQ(lat.peaks.peaks.size(), 2u);
    EXPECT_EQ(lat.peaks.peaks[0].text, "3.23");
}

struct BadPeaks {
    const char* text;
    const char* name;
    const char* message;  // a part of the message
};

void PrintTo(const BadPeaks& c, std::ostream* os) {
    *os << c.name << ": " << c.text;
}

class RefusesBadPeaks : public ::testing::TestWithParam<BadPeaks> {};

TEST_P(RefusesBadPeaks, NamingTheFileAndWhere) {
    try {
        ParsePeakFile(GetParam().text, GetParam().name);
        FAIL() << "no refusal";
    } catch (const DorvalixError& e) {
        EXPECT_NE(e.Text().find(GetParam().message), std::string::npos) << e.Text();
        EXPECT_EQ(e.Text().rfind(GetParam().name, 0), 0u) << e.Text();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusesBadPeaks,
    ::testing::Values(
        BadPeaks{"{\"peaks\": [{\"two_theta\": \"28\"}]}", "a.json",
                 "peak 1: \"two_theta\" is not a number"},
        BadPeaks{"{\"peaks\": [{\"height\": 5}]}", "b.json",
                 "peak 1 has neither \"two_theta\" nor \"d\""},
        BadPeaks{"{\"peaks\": [{\"two_theta\": 28}, {\"d\": 2.1}]}", "c.json",
                 "some peaks give 2-theta"},
        BadPeaks{"{\"peaks\": []}", "d.json", "no peaks"},
        BadPeaks{"{\"list\": []}", "e.json", "no \"peaks\" array"},
        BadPeaks{"{\"peaks\": [}", "f.json", "not a JSON text (line 1, column 12"},
        BadPeaks{"28.4 100\n30.1\n", "g.txt", "line 2: 1 numbers where the lines before have 2"},
        BadPeaks{"3.1\n2.9 8\n", "h.txt", "line 2: 2 numbers where the lines before have 1"},
        BadPeaks{"28.4 1e\n", "i.txt", "line 1: '1e' is not a number"},
        BadPeaks{"# only a note\n", "j.txt", "no peaks"}));

// 2θ without a wavelength anywhere is refused, not read at Cu Kα.
TEST(PeakFile, TwoThetaNeedsAWavelength) {
    const PeakFile f = ParsePeakFile("28.44 100\n47.30 55\n56.12 30\n69.13 10\n", "si.xy");
    LineSet set;
    const auto refusal = PrepareLines(f.peaks, {}, set);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->text.find("--wavelength"), std::string::npos);
    LineOptions withWavelength;
    withWavelength.wavelength = 1.540593L;
    EXPECT_FALSE(PrepareLines(f.peaks, withWavelength, set));
    EXPECT_EQ(set.size(), 4u);
}

// A position is not known better than half a unit of its last digit.
TEST(PeakFile, ToleranceFromTheDigits) {
    EXPECT_EQ(HalfUnitOfLastDigit("3.23"), 0.005L);
    EXPECT_EQ(HalfUnitOfLastDigit("28"), 0.5L);
    EXPECT_EQ(HalfUnitOfLastDigit("1.5e-2"), 0.0005L);
    EXPECT_EQ(HalfUnitOfLastDigit("x"), 0);
}

// Peaks below the weak fraction of the strongest are left out before the count is taken;
// a peak without an intensity stays; the threshold must be a fraction below 1.
TEST(PrepareLines, WeakPeaksLeftOutBeforeTheCount) {
    PeakList list;
    list.wavelength = 1.540593L;
    const std::optional<long double> heights[] = {1000, 19, 600, std::nullopt, 21, 500};
    for (int i = 0; i < 6; ++i)
        list.peaks.push_back({20.0L + 5 * i, "", heights[i]});
    const struct {
        long double weak;
        int count;
        std::vector<int> used, weak_lines, unused;
    } cases[] = {
        {0, 0, {1, 2, 3, 4, 5, 6}, {}, {}},
        {0.02L, 0, {1, 3, 4, 5, 6}, {2}, {}},
        {0.02L, 3, {1, 3, 4}, {2}, {5, 6}},
        {0.5L, 0, {1, 3, 4, 6}, {2, 5}, {}},
    };
    for (const auto& c : cases) {
        LineOptions options;
        options.weak = c.weak;
        options.count = c.count;
        LineSet set;
        ASSERT_FALSE(PrepareLines(list, options, set));
        std::vector<int> used;
        for (const Line& line : set.lines)
            used.push_back(line.input);
        EXPECT_EQ(used, c.used) << static_cast<double>(c.weak);
        EXPECT_EQ(set.weak, c.weak_lines);
        EXPECT_EQ(set.unused, c.unused);
    }
    LineOptions bad;
    bad.weak = 1;
    LineSet set;
    EXPECT_TRUE(PrepareLines(list, bad, set));
}

}  // namespace
}  // namespace dorvalix::indexing
