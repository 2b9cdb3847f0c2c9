// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf_file.h"

#include <gtest/gtest.h>

#include <string>

namespace dorvalix {
namespace {

// A small PDF whose cross-reference section `xref` follows two objects; startxref names
// where it begins, as a writer puts it.
std::string Pdf(const std::string& xref) {
    std::string pdf =
        "%PDF-1.4\n"
        "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n";
    const std::size_t at = pdf.size();
    return pdf + xref + "startxref\n" + std::to_string(at) + "\n%%EOF";
}

const std::string kTable =
    "xref\n0 3\n0000000000 65535 f \n0000000009 00000 n \n0000000058 00000 n \n"
    "trailer\n<< /Size 3 /Root 1 0 R >>\n";

// A spool cut short anywhere, or missing a piece, is no PDF to replace a file with.
TEST(PdfFile, OnlyAWholeFileIsComplete) {
    const std::string whole = Pdf(kTable);
    for (const std::string& pdf :
         {whole, whole + "\n", whole + "\r\n", Pdf("3 0 obj\n<< /Type /XRef >>\nstream\n")})
        EXPECT_TRUE(IsCompletePdf(pdf)) << pdf;
    for (std::size_t n = 0; n < whole.size(); ++n)
        EXPECT_FALSE(IsCompletePdf(whole.substr(0, n))) << n;
    std::string holed = whole;
    holed.erase(20, 8);  // a block lost in the middle: the table is no longer where it was
    EXPECT_FALSE(IsCompletePdf(holed));
    EXPECT_FALSE(IsCompletePdf("%PDF-1.4\nstartxref\n999999999999999999999\n%%EOF"));
    EXPECT_FALSE(IsCompletePdf(std::string(whole.size(), '\0')));
}

}  // namespace
}  // namespace dorvalix
