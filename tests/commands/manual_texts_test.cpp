// SPDX-License-Identifier: GPL-3.0-or-later
// The built-in manuals and the principle text against the program: every menu item, button
// and message they quote is one the program shows, and the worked example's numbers are
// the ones the refinement computes.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "assign_dialog_commands.h"
#include "calculation.h"
#include "cell_dialog_commands.h"
#include "crystal_system.h"
#include "details_window_commands.h"
#include "errors.h"
#include "hkl_table.h"
#include "hkl_window_commands.h"
#include "indexing_window_commands.h"
#include "input_file.h"
#include "main_captions.h"
#include "main_commands.h"
#include "manual_window_commands.h"
#include "numtext.h"
#include "observation_file.h"
#include "pattern_window_commands.h"
#include "results_report.h"
#include "scripted_ui.h"
#include "sylk.h"
#include "table_builder.h"
#include "text_encoding.h"
#include "version_window_commands.h"

namespace dorvalix {
namespace {

using test::Call;

// Blanks around a caption ("Execute ", " 説　明 ") are part of the caption but not of what
// a manual quotes; blanks inside it ("印　刷") are.
std::string TrimBlanks(std::string_view s) {
    constexpr std::string_view kWide = "\u3000";
    for (;;) {
        if (s.starts_with(' ')) {
            s.remove_prefix(1);
        } else if (s.starts_with(kWide)) {
            s.remove_prefix(kWide.size());
        } else if (s.ends_with(' ')) {
            s.remove_suffix(1);
        } else if (s.ends_with(kWide)) {
            s.remove_suffix(kWide.size());
        } else {
            return std::string(s);
        }
    }
}

// Every caption, title and message of the program, trimmed, in both languages.
std::set<std::string> ProgramTexts() {
    std::set<std::string> texts;
    auto add = [&](std::string_view text) {
        if (!TrimBlanks(text).empty()) texts.insert(TrimBlanks(text));
    };
    auto both = [&](const Text& text) {
        add(text.en);
        add(text.ja);
    };
    for (int i = 0; i < kControlCount; ++i)
        both(CaptionText(static_cast<Control>(i)));
    for (int code = 1; code <= 8; ++code) {
        add(CrystalSystemName(code, Lang::English));
        add(CrystalSystemName(code, Lang::Japanese));
    }
    for (int i = 0; i < kDetailsControlCount; ++i) {
        add(DetailsCaption(static_cast<DetailsControl>(i), Lang::English));
        add(DetailsCaption(static_cast<DetailsControl>(i), Lang::Japanese));
    }
    for (int i = 0; i < kHklControlCount; ++i) {
        add(HklCaption(static_cast<HklControl>(i), Lang::English));
        add(HklCaption(static_cast<HklControl>(i), Lang::Japanese));
    }
    for (int i = 0; i < kPatternControlCount; ++i) {
        add(PatternCaption(static_cast<PatternControl>(i), Lang::English));
        add(PatternCaption(static_cast<PatternControl>(i), Lang::Japanese));
    }
    for (int i = 0; i < kIndexingControlCount; ++i) {
        add(IndexingCaption(static_cast<IndexingControl>(i), Lang::English));
        add(IndexingCaption(static_cast<IndexingControl>(i), Lang::Japanese));
    }
    both(indexing_window_text::kReplaceTable);
    for (int i = 0; i < kAssignControlCount; ++i) {
        add(AssignCaption(static_cast<AssignControl>(i), Lang::English));
        add(AssignCaption(static_cast<AssignControl>(i), Lang::Japanese));
    }
    for (const WavelengthPreset& preset : kWavelengthPresets)
        add(preset.name);
    for (const Text* text : {&kWavelengthInputTitle,
                             &kWavelengthInputPrompt,
                             &kMinimumDInputTitle,
                             &kMinimumDInputPrompt,
                             &kCellDialogTitle,
                             &kCellDialogLabel7,
                             &kCellDialogBitBtn1,
                             &kInputCellConstants,
                             &run_text::kSetInputData,
                             &run_text::kSetCrystalSystem,
                             &run_text::kNotEnoughData,
                             &run_text::kSetIndexData,
                             &run_text::kSetFiguresForD,
                             &run_text::kSetIntegerForHkl,
                             &run_text::kTooSmallPivot,
                             &run_text::kDNotPositive,
                             &run_text::kIndexTooLarge,
                             &sylk_text::kNoCells,
                             &file_error_text::kNotRegularFile,
                             &file_error_text::kFileTooLarge,
                             &file_text::kSetFileName,
                             &file_text::kSetCrystalSystem,
                             &file_text::kSetInputData,
                             &file_text::kSetSampleName,
                             &kSetCellConstantText,
                             &kSetHklRangeText,
                             &kWavelengthRangeText,
                             &kMinimumDNotPositiveText,
                             &kRangeTooLargeText,
                             &kTooManyReflectionsText,
                             &kHkldOrderQuestion,
                             &report_text::kExecuteFirst,
                             &report_text::kTitle,
                             &report_text::kObservedData,
                             &pattern_window_text::kReplaceTable,
                             &pattern_window_text::kCancel})
        both(*text);
    add(file_text::kInvalidNumericInput);
    for (const std::string_view header : kObservationHeaders)
        add(header);
    for (const char* header : kHklTableHeader)
        add(header);
    for (const auto kind : {FloatFault::Kind::DivideByZero, FloatFault::Kind::InvalidOperation,
                            FloatFault::Kind::Overflow})
        add(FloatFaultText(kind));
    // The conversion errors name the text that failed: "%s" stands for any text.
    add(RealConversionText("%s"));
    add(IntConversionText("%s"));
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        const VersionWindowTexts& version = VersionTexts(lang);
        add(version.windowTitle);
        add(version.heading);
        add(version.closeButton);
        const ManualWindowTexts& manual = ManualTexts(lang);
        add(manual.windowTitle);
        add(manual.closeButton);
        add(manual.principleButton);
    }
    add(kPrincipleWindowTitle);
    add(kPrincipleCloseButton);

    // The questions and dialog titles the commands keep to themselves, as they ask them.
    for (const Lang lang : {Lang::English, Lang::Japanese}) {
        auto state = std::make_unique<MainState>();
        state->settings.lang = LangCode(lang);
        test::ScriptedUi ui;
        ui.answers = {false, false, false};
        ui.fileNames = {""};
        test::FillRows(state->calc.table, {{"3.23", "2", "2", "0"}});
        state->calc.table.filled = 1;
        RunCommand(ui, [&] { Exit1Click(*state, ui); });
        RunCommand(ui, [&] { N15Click(*state, ui); });
        RunCommand(ui, [&] { N17Click(*state, ui); });
        RunCommand(ui, [&] { Read1Click(*state, ui); });
        EXPECT_EQ(ui.Texts(Call::OkCancel).size(), 3u);  // Exit, Delete One Data, Clear
        // Print: refused without a result; with one, a job that cannot start and, without
        // a printer, the PDF question.
        RunCommand(ui, [&] { N10Click(*state, ui); });
        test::FillMonoclinicExample(state->calc);
        RunCommand(ui, [&] { N4Click(*state, ui); });
        ui.printJobsStart = false;
        ui.answers = {true};
        RunCommand(ui, [&] { N10Click(*state, ui); });
        ui.printerName = std::nullopt;
        ui.answers = {false};
        RunCommand(ui, [&] { N10Click(*state, ui); });
        EXPECT_EQ(ui.Texts(Call::YesNo).size(), 1u);
        EXPECT_EQ(ui.Texts(Call::Message).size(), 3u);  // no file name, no result, no job
        for (const test::UiCall& call : ui.calls)
            add(call.text);
    }
    return texts;
}

// Whether a quoted text is one of the program's: equal, or equal with "%s" standing for
// any text.
bool IsProgramText(const std::set<std::string>& texts, const std::string& quoted) {
    if (texts.contains(quoted)) return true;
    for (const std::string& text : texts) {
        const std::size_t hole = text.find("%s");
        if (hole == std::string::npos) continue;
        const std::string_view head(text.data(), hole);
        const std::string_view tail(text.data() + hole + 2, text.size() - hole - 2);
        if (quoted.size() > head.size() + tail.size() && quoted.starts_with(head) &&
            quoted.ends_with(tail))
            return true;
    }
    return false;
}

// The texts between `open` and `close` marks, trimmed.
std::vector<std::string> Quotes(std::string_view text, std::string_view open,
                                std::string_view close) {
    std::vector<std::string> quotes;
    std::size_t at = 0;
    while ((at = text.find(open, at)) != std::string_view::npos) {
        const std::size_t start = at + open.size();
        const std::size_t end = text.find(close, start);
        if (end == std::string_view::npos) {
            ADD_FAILURE() << "a quote that does not end: " << text.substr(at, 40);
            break;
        }
        quotes.push_back(TrimBlanks(text.substr(start, end - start)));
        at = end + close.size();
    }
    return quotes;
}

TEST(ManualTexts, QuoteOnlyCaptionsAndMessagesTheProgramHas) {
    const std::set<std::string> texts = ProgramTexts();
    // The matching is exact: a caption written without its full-width blank is not one.
    EXPECT_TRUE(IsProgramText(texts, "印　刷"));
    EXPECT_FALSE(IsProgramText(texts, "印刷"));
    EXPECT_TRUE(IsProgramText(texts, "'3.2a' は浮動小数点数ではありません"));
    EXPECT_FALSE(IsProgramText(texts, "Execute Calculation before Write to File"));

    const struct {
        const char* what;
        std::string_view text;
        const char* open;
        const char* close;
        std::size_t atLeast;  // so that a manual that quotes nothing does not pass
    } manuals[] = {
        {"Japanese manual", BuiltInManual(Lang::Japanese), "「", "」", 80},
        {"English manual", BuiltInManual(Lang::English), "\"", "\"", 50},
        {"principle text", BuiltInPrinciple(), "「", "」", 2},
    };
    for (const auto& manual : manuals) {
        const std::vector<std::string> quotes = Quotes(manual.text, manual.open, manual.close);
        EXPECT_GE(quotes.size(), manual.atLeast) << manual.what;
        for (const std::string& quote : quotes)
            EXPECT_TRUE(IsProgramText(texts, quote)) << manual.what << ": " << quote;
    }
}

TEST(ManualTexts, JapaneseManualHasTheNumberedSections) {
    const std::string_view manual = BuiltInManual(Lang::Japanese);
    std::size_t at = 0;
    for (const char* heading : {"\n1. このプログラムについて\n",
                                "\n2. インストール\n",
                                "\n3. 使い方\n",
                                "\n3.1 データの入力\n",
                                "\n3.2 データの修正\n",
                                "\n3.3 行の除外と除外解除\n",
                                "\n3.4 ファイルの読み書き\n",
                                "\n3.5 表計算ソフトのデータ\n",
                                "\n3.6 結晶系の選択\n",
                                "\n3.7 試料名\n",
                                "\n3.8 計算\n",
                                "\n3.9 h,k,l 表\n",
                                "\n3.10 印刷\n",
                                "\n3.11 結果の保存\n",
                                "\n3.12 終了\n",
                                "\n4. 困ったときは\n",
                                "\n5. アンインストール\n",
                                "\n6. 引用のしかた\n",
                                "\n7. 改訂履歴\n",
                                "\n8. 謝辞と連絡先\n"}) {
        const std::size_t found = manual.find(heading, at);
        EXPECT_NE(found, std::string_view::npos) << "missing or out of order: " << heading;
        if (found != std::string_view::npos) at = found;
    }
    // Installation names the read-me's two commands.
    EXPECT_NE(manual.find("make run"), std::string_view::npos);
    EXPECT_NE(manual.find("make test"), std::string_view::npos);
}

// Numbers of a text in order: digits with an optional minus sign and decimals, not part of
// a name such as x1 or d2.
std::vector<std::string> Numbers(std::string_view text) {
    std::vector<std::string> numbers;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool minus = c == '-' && i + 1 < text.size() &&
                           std::isdigit(static_cast<unsigned char>(text[i + 1]));
        if (!std::isdigit(c) && !minus) continue;
        const auto before = i > 0 ? static_cast<unsigned char>(text[i - 1]) : ' ';
        const bool partOfName = std::isalnum(before) || before == '.' || before == '_';
        std::size_t end = i + 1;
        while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) ||
                                     (text[end] == '.' && end + 1 < text.size() &&
                                      std::isdigit(static_cast<unsigned char>(text[end + 1])))))
            ++end;
        if (!partOfName) numbers.emplace_back(text.substr(i, end - i));
        i = end - 1;
    }
    return numbers;
}

// The text of the principle's HTML without tags, with its entities for the minus sign and
// the blank written out.
std::string PrincipleText() {
    std::string text;
    const std::string_view html = BuiltInPrinciple();
    for (std::size_t i = 0; i < html.size(); ++i) {
        if (html[i] == '<') {
            // A cell, row or paragraph ends a word; <sub>, <sup>, <b> do not.
            const std::size_t end = html.find('>', i);
            if (end == std::string_view::npos) break;
            const std::string_view tag = html.substr(i + 1, end - i - 1);
            for (const char* block : {"td", "/td", "tr", "/tr", "p", "/p", "br", "table"}) {
                if (tag == block || tag.starts_with(std::string(block) + " ")) text += ' ';
            }
            i = end;
            continue;
        }
        if (html.substr(i).starts_with("&minus;")) {
            text += '-';
            i += 6;
        } else if (html.substr(i).starts_with("&nbsp;")) {
            text += ' ';
            i += 5;
        } else {
            text += html[i];
        }
    }
    return text;
}

std::string Fixed(long double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Lf", decimals, v);
    return buf;
}

TEST(ManualTexts, PrincipleWorkedExampleIsTheProgramsOwnCalculation) {
    CalculationState state;
    test::FillMonoclinicExample(state);
    ASSERT_TRUE(RunCalculation(state, Lang::Japanese).completed);
    const RefinementResult& r = state.result;
    const LeastSquaresWork& w = state.work;
    NormalMatrix m{};
    BuildNormalMatrix(w, r.n, r.p, m);
    ASSERT_EQ(r.n, 7);
    ASSERT_EQ(r.p, 4);

    // The numbers the example shows, in the order it shows them.
    std::vector<std::string> expected;
    for (int i = 1; i <= 7; ++i) {  // the reflections: i, h, k, l, d, Q
        expected.push_back(std::to_string(i));
        for (int c = 1; c <= 3; ++c)
            expected.push_back(std::string(Trim(state.table.Cell(c, i))));
        expected.push_back(std::string(Trim(state.table.Cell(0, i))));
        expected.push_back(Fixed(w.qo[static_cast<std::size_t>(i)], 6));
    }
    for (int i = 1; i <= 7; ++i) {  // A beside Q
        for (int j = 1; j <= 4; ++j)
            expected.push_back(
                std::to_string(w.at[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]));
        expected.push_back(Fixed(w.qo[static_cast<std::size_t>(i)], 6));
    }
    for (int i = 1; i <= 4; ++i) {  // M = AᵀA beside Δ = AᵀQ
        for (int j = 1; j <= 4; ++j)
            expected.push_back(
                Fixed(m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)], 0));
        expected.push_back(Fixed(w.delta[static_cast<std::size_t>(i)], 5));
    }
    for (int i = 1; i <= 4; ++i) {  // M⁻¹
        for (int j = 1; j <= 4; ++j)
            expected.push_back(
                Fixed(r.m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)], 7));
    }
    for (int j = 1; j <= 4; ++j)  // X = M⁻¹Δ
        expected.push_back(Fixed(r.x[static_cast<std::size_t>(j)], 7));
    const CellParameters& rc = r.reciprocal;
    const CellParameters& dc = r.direct;
    for (const auto& [value, decimals] :
         std::vector<std::pair<long double, int>>{{rc.a, 6},
                                                  {rc.b, 6},
                                                  {rc.c, 6},
                                                  {r.x[4] / (rc.c * rc.a), 6},  // cos β*
                                                  {rc.beta, 3},
                                                  {90, 0},
                                                  {rc.volume, 7},
                                                  {dc.a, 3},
                                                  {dc.b, 3},
                                                  {dc.c, 3},
                                                  {dc.beta, 2},
                                                  {dc.volume, 2}})
        expected.push_back(Fixed(value, decimals));

    const std::string text = PrincipleText();
    const std::size_t example = text.find("7. 計算例");
    ASSERT_NE(example, std::string::npos);
    const std::vector<std::string> shown = Numbers(std::string_view(text).substr(example));
    std::size_t at = 0;
    for (const std::string& number : expected) {
        while (at < shown.size() && shown[at] != number)
            ++at;
        ASSERT_LT(at, shown.size())
            << "the example does not show " << number << " where the calculation has it";
        ++at;
    }
    // The result line as the program computes it.
    EXPECT_NE(text.find("a = 9.753 Å,  b = 8.933 Å,  c = 5.255 Å,  β = 105.83°,  V = 440.47 Å"),
              std::string::npos);
}

TEST(ManualTexts, ManualsQuoteTheResultsPanelOfTheExampleFile) {
    CalculationState state;
    std::string sample;
    ApplyObservationFile(
        state, sample,
        ParseObservationFile(DecodeFileText(ReadInputFile(
                                 std::string(DORVALIX_EXAMPLES) + "/diopside.lat", Lang::English)),
                             Lang::English));
    ASSERT_TRUE(RunCalculation(state, Lang::English).completed);
    std::vector<std::string> cells;
    for (int row : {0, 1, 2, 4, 6})
        cells.push_back(std::string(Trim(state.panel.direct[static_cast<std::size_t>(row)][1])));
    const std::string ja = "a = " + cells[0] + " Å, b = " + cells[1] + " Å, c = " + cells[2] +
                           " Å,\n      β = " + cells[3] + "°, V = " + cells[4] + " Å³";
    EXPECT_NE(BuiltInManual(Lang::Japanese).find(ja), std::string_view::npos) << ja;
    const std::string en = "a = " + cells[0] + ", b = " + cells[1] + ", c = " + cells[2] +
                           " Angstrom,\n  beta = " + cells[3] + " degrees, V = " + cells[4];
    EXPECT_NE(BuiltInManual(Lang::English).find(en), std::string_view::npos) << en;
}

}  // namespace
}  // namespace dorvalix
