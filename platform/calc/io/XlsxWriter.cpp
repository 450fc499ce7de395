// Office Open XML workbook: a ZIP package of XML parts. The sheets' cells
// are written as XML straight into their entries' deflate streams, which
// compress on the other processors meanwhile.
#include <string>
#include <vector>

#include "platform/calc/io/AtomicFile.h"
#include "platform/calc/io/ParallelDeflate.h"
#include "platform/calc/io/SheetView.h"
#include "platform/calc/io/WriterCommon.h"
#include "platform/calc/io/XlsxSharedStrings.h"
#include "platform/calc/io/XlsxSheetXml.h"
#include "platform/calc/io/XlsxStyles.h"
#include "platform/calc/io/XmlText.h"
#include "platform/calc/io/ZipArchive.h"

namespace calc::io {
namespace {

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr char kRelationshipNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string SheetPart(size_t i) {
    return "worksheets/sheet" + std::to_string(i + 1) + ".xml";
}

std::string ContentTypes(size_t sheets) {
    std::string x = kXmlDeclaration;
    x += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>";
    for (size_t i = 0; i < sheets; ++i) {
        x += "<Override PartName=\"/xl/" + SheetPart(i) +
             "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
    }
    x += "<Override PartName=\"/xl/styles.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
         "<Override PartName=\"/xl/sharedStrings.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
         "</Types>";
    return x;
}

std::string PackageRelationships() {
    return std::string(kXmlDeclaration) +
           "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
           "<Relationship Id=\"rId1\" Type=\"" +
           kRelationshipNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
}

// Sheets are rId1..rIdN, then the styles and the shared strings.
std::string WorkbookRelationships(size_t sheets) {
    std::string x = kXmlDeclaration;
    x += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    auto add = [&](size_t id, const char* type, const std::string& target) {
        x += "<Relationship Id=\"rId" + std::to_string(id) + "\" Type=\"" + kRelationshipNs + "/" + type +
             "\" Target=\"" + target + "\"/>";
    };
    for (size_t i = 0; i < sheets; ++i) {
        add(i + 1, "worksheet", SheetPart(i));
    }
    add(sheets + 1, "styles", "styles.xml");
    add(sheets + 2, "sharedStrings", "sharedStrings.xml");
    x += "</Relationships>";
    return x;
}

std::string Workbook(const std::vector<const SheetView*>& sheets) {
    std::string x = kXmlDeclaration;
    x += std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelationshipNs +
         "\"><bookViews><workbookView activeTab=\"0\"/></bookViews><sheets>";
    for (size_t i = 0; i < sheets.size(); ++i) {
        x += "<sheet name=\"";
        xml::AppendAttribute(x, sheets[i]->name());
        x += "\" sheetId=\"" + std::to_string(i + 1) + "\" r:id=\"rId" + std::to_string(i + 1) + "\"/>";
    }
    x += "</sheets></workbook>";
    return x;
}

struct SheetPlan {
    int32_t lastRow;
    int32_t lastCol;
    std::vector<uint32_t> formatOf;
};

class PackageWriter {
public:
    PackageWriter(const std::vector<const SheetView*>& sheets, const std::vector<SheetPlan>& plans,
                  const XlsxStyles& styles)
        : sheets_(sheets), plans_(plans), styles_(styles) {}

    // False with *error set; a message naming a cell wins over the generic one.
    bool write(std::FILE* f, const std::string& path, std::string* error) {
        ZipArchive zip(f);
        bool ok = zip.addEntry("[Content_Types].xml", ContentTypes(sheets_.size())) &&
                  zip.addEntry("_rels/.rels", PackageRelationships()) &&
                  zip.addEntry("xl/workbook.xml", Workbook(sheets_)) &&
                  zip.addEntry("xl/_rels/workbook.xml.rels", WorkbookRelationships(sheets_.size())) &&
                  zip.addEntry("xl/styles.xml", styles_.xml());
        XlsxSharedStrings strings;
        std::string cellError;
        for (size_t s = 0; ok && s < sheets_.size(); ++s) {
            const SheetPlan& plan = plans_[s];
            ok = zip.beginEntry("xl/" + SheetPart(s),
                                SheetXmlBound(plan.lastRow, plan.lastCol) >= 0xFFFFFFFFu);
            if (!ok) {
                break;
            }
            ParallelDeflate deflate([&zip](const uint8_t* p, size_t n) { return zip.writeDeflated(p, n); });
            strings.beginSheet(sheets_[s]->textNumbers());
            const SheetXmlInput in{*sheets_[s], plan.lastRow, plan.lastCol, s == 0, plan.formatOf};
            if (!WriteSheetXml(in, strings, deflate, &cellError)) {
                *error = cellError;
                return false;
            }
            ok = deflate.finish() && zip.endEntry(deflate.size(), deflate.crc());
        }
        if (ok) {
            const std::string head = strings.head();
            const uint64_t size = head.size() + strings.body().size() + 6;
            ok = zip.beginEntry("xl/sharedStrings.xml", size >= 0xFFFFFFFFu);
            if (ok) {
                ParallelDeflate deflate(
                    [&zip](const uint8_t* p, size_t n) { return zip.writeDeflated(p, n); });
                deflate.write(head);
                deflate.write(strings.body());
                deflate.write(std::string_view("</sst>"));
                ok = deflate.finish() && zip.endEntry(deflate.size(), deflate.crc());
            }
        }
        ok = zip.close() && ok;
        if (!ok) {
            *error = "Cannot write the workbook " + path + " (is the disk full?).";
        }
        return ok;
    }

private:
    const std::vector<const SheetView*>& sheets_;
    const std::vector<SheetPlan>& plans_;
    const XlsxStyles& styles_;
};

}  // namespace

WriteResult WriteXlsx(const std::vector<const SheetView*>& sheets, const std::string& path) {
    WriteResult result;
    std::string error;
    if (!detail::CheckSheets(sheets, &error)) {
        result.error = error;
        return result;
    }
    // Finding a sheet's extent may scan its rows: it is read once.
    XlsxStyles styles;
    std::vector<SheetPlan> plans;
    for (const SheetView* sheet : sheets) {
        SheetPlan plan{sheet->lastRow(), sheet->lastCol(), {}};
        if (!detail::CheckUsedRange(*sheet, plan.lastRow, plan.lastCol, kXlsxMaxRows, kXlsxMaxCols,
                                    "a workbook (.xlsx)", &error)) {
            result.error = error;
            return result;
        }
        for (const CellStyle& style : sheet->styles()) {
            plan.formatOf.push_back(styles.formatFor(style, &error));
            if (!error.empty()) {
                result.error = error;
                return result;
            }
        }
        plans.push_back(std::move(plan));
    }
    PackageWriter package(sheets, plans, styles);
    if (!WriteFileAtomically(
            path, [&](std::FILE* f, std::string* err) { return package.write(f, path, err); }, &error)) {
        result.error = error;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace calc::io
