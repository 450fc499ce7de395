#include "driver/tests/HostilePdf.h"

#include <cstdio>

namespace sw::driver::testing {

namespace {

std::string Stream(const std::string& dict, const std::string& data) {
    return "<< " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

const char* const kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

std::string OnePage(const std::string& content, const std::string& resources) {
    return BuildPdf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                     "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources " +
                         resources + " >>",
                     Stream("", content), kFont});
}

}  // namespace

std::string BuildPdf(const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char line[32];
    for (std::size_t offset : offsets) {
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

std::string ManyPagesPdf(int pages) {
    // 1 catalog, 2 pages, 3 font, 4 shared content, 5.. pages.
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        kids += std::to_string(5 + i) + " 0 R ";
    }
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>", kFont,
        Stream("", "BT /F1 10 Tf 72 700 Td (Item) Tj 150 0 Td (12.50) Tj ET")};
    for (int i = 0; i < pages; ++i) {
        objects.push_back(
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /F1 "
            "3 0 R "
            ">> >> >>");
    }
    return BuildPdf(objects);
}

std::string SelfDrawingFormPdf() {
    // The page draws form 6, which draws itself.
    return BuildPdf(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << "
         "/F1 5 0 R >> /XObject << /X1 6 0 R >> >> >>",
         Stream("", "BT /F1 10 Tf 72 700 Td (Loop) Tj ET /X1 Do"), kFont,
         Stream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> "
                "/XObject << /X1 6 0 R >> >>",
                "BT /F1 10 Tf 72 650 Td (Again) Tj ET /X1 Do")});
}

std::string BrokenStreamPdf() {
    // A content stream that claims compression and breaks off, and a
    // cross-reference table pointing nowhere.
    std::string pdf = OnePage("x", "<< /Font << /F1 5 0 R >> >>");
    const std::string good = "/Length 1 >>\nstream\nx";
    pdf.replace(pdf.find(good), good.size(),
                "/Length 9999 /Filter /FlateDecode >>\nstream\nx\x9c\x8b\x01garbage");
    pdf.replace(pdf.find("startxref\n") + 10, 2, "99");
    return pdf;
}

std::string DeepNestingPdf(int depth) {
    const std::string arrays =
        std::string(static_cast<std::size_t>(depth), '[') + std::string(static_cast<std::size_t>(depth), ']');
    std::string content;
    for (int i = 0; i < depth; ++i) {
        content += "q ";
    }
    content += "BT /F1 10 Tf 72 700 Td (Deep) Tj ET";
    return BuildPdf(
        {"<< /Type /Catalog /Pages 2 0 R /Nest " + arrays + " >>",
         "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << "
         "/F1 5 0 R >> >> /Extra " +
             arrays + " >>",
         Stream("", content), kFont});
}

std::string ManyRunsPdf(int runs) {
    // Lines of a hundred runs, the lines drawn over each other down the page.
    std::string content = "BT /F1 4 Tf ";
    for (int i = 0; i < runs; ++i) {
        if (i % 100 == 0) {
            content += "1 0 0 1 6 " + std::to_string(780 - (i / 100) % 150 * 5) + " Tm ";
        }
        content += "(x) Tj 6 0 Td ";
    }
    content += "ET";
    return OnePage(content, "<< /Font << /F1 5 0 R >> >>");
}

std::string NoTextPdf() {
    return OnePage("1 0 0 RG 100 100 m 500 700 l S 50 50 200 200 re f", "<< >>");
}

}  // namespace sw::driver::testing
