// SPDX-License-Identifier: GPL-3.0-or-later
#include "main_captions.h"

#include "captions.h"

namespace dorvalix {

namespace {

struct CaptionEntry {
    Control control;
    const char* name;
    Text text;
};

// "　" is the full-width blank U+3000; the trailing blanks are part of the captions.
constexpr CaptionEntry kCaptions[kControlCount] = {
    {Control::TForm1, "TForm1", {"Dorvalix", "Dorvalix[格子定数の計算]"}},
    {Control::Label7, "Label7", captions::kSample},
    {Control::Label5, "Label5", captions::kFile},
    {Control::Label4, "Label4", captions::kSystem},
    {Control::Label1, "Label1", captions::kReciprocalLattice},
    {Control::Label2, "Label2", captions::kLattice},
    {Control::Label8, "Label8", captions::kResidual},
    {Control::N2, "N2", {"  File  ", "ファイル"}},
    {Control::Read1, "Read1", {"Read from File", "d値と指数の読込み"}},
    {Control::Write1, "Write1", {"Write to File", "d値と指数の保存"}},
    {Control::Exceld1,
     "Exceld1",
     {"Read Excel data through ClipBoard", "クリップボードからExcelデータの読み込み"}},
    {Control::OpenPattern1, "OpenPattern1", {"Open Pattern...", "回折パターンを開く..."}},
    {Control::N10, "N10", {"Print", "印　刷"}},
    {Control::N11, "N11", {"Printer Setup", "プリンターセットアップ"}},
    {Control::N18, "N18", {"Save Results to File", "結果をファイルに出力"}},
    {Control::N22, "N22", {"Send Results to ClipBoard", "結果をクリップボードに出力"}},
    {Control::Exit1, "Exit1", {"Exit", "終　了"}},
    {Control::N1, "N1", {"Crystal System", "結晶系"}},
    {Control::Cibic1, "Cibic1", {"Cubic", "等軸晶系"}},
    {Control::tetragonal1, "tetragonal1", {"Tetragonal", "正方晶系"}},
    {Control::Orthorhombic1, "Orthorhombic1", {"Orthorhombic", "斜方晶系"}},
    {Control::trigonal, "trigonal", {"Trigonal", "三方晶系"}},
    {Control::Hexagonal1, "Hexagonal1", {"Hexagonal", "六方晶系"}},
    {Control::Monoclinic901, "Monoclinic901", {"Monoclinic(beta<>90)", "単斜晶系(β≠90)"}},
    {Control::Monoclinic902, "Monoclinic902", {"Monoclinic(gamma<>90)", "単斜晶系(γ≠90)"}},
    {Control::Triclinic1, "Triclinic1", {"Triclinic", "三斜晶系"}},
    {Control::N14, "N14", {"  Data  ", " デ － タ  "}},
    {Control::N15, "N15", {"Delete One Data ", "１行削除 "}},
    {Control::N16, "N16", {"Sort ", "ソ－ト "}},
    {Control::N17, "N17", {"Clear ", "クリヤ－ "}},
    {Control::N20, "N20", {"Exclude　", "１行除外　"}},
    {Control::N21, "N21", {"Include  ", "除外解除　"}},
    {Control::AssignIndices1,
     "AssignIndices1",
     {"Assign Indices from Cell...", "格子定数から指数を付ける..."}},
    {Control::N3, "N3", {" Calculation ", " 計　算 "}},
    {Control::N4, "N4", {"Execute ", "実　行 "}},
    {Control::hkld1, "hkld1", {"hkl Table", "h,k,l 表の作成"}},
    {Control::Details1, "Details1", {"Refinement Details...", "精密化の詳細..."}},
    {Control::Indexing1, "Indexing1", {"Indexing...", "指数付け..."}},
    {Control::N7, "N7", {" About Dorvalix ", " 説　明 "}},
    {Control::N8, "N8", {"How to use ", "説　明 "}},
    {Control::N9, "N9", {"Version ", "バージョン情報 "}},
    {Control::dorvalix1, "dorvalix1", {"Dorvalix Home Page ", "Dorvalix ホームページ"}},
    {Control::English1, "English1", {"Language", "Language"}},
    {Control::English2, "English2", {"English", "English"}},
    {Control::Japanese1, "Japanese1", {"Japanese", "Japanese"}},
};

}  // namespace

const Text& CaptionText(Control control) {
    return kCaptions[static_cast<int>(control)].text;
}

const char* ControlName(Control control) {
    return kCaptions[static_cast<int>(control)].name;
}

}  // namespace dorvalix
