#include <gtest/gtest.h>

#include "parser/app/KVFileParserCommandLine.h"

namespace {

struct Parsed : KVFileParserCommandLine {
    explicit Parsed(const std::vector<std::wstring>& args) { ParseCommandLine(args, *this); }
    std::wstring Stored(const std::wstring& name) {
        std::wstring value;
        return GetParam(name, value) ? value : L"<none>";
    }
    std::wstring LastSwitch() const { return m_szLastSwitch; }
};

}  // namespace

TEST(command_line_test, print_and_pdf_switches_in_any_case_or_prefix) {
    Parsed print({L"-PRINT", L"/spool/job 1.grp"});
    EXPECT_TRUE(print.IsPrintJob());
    EXPECT_FALSE(print.IsPdfJob());
    EXPECT_EQ(print.GetFileName(), L"/spool/job 1.grp");
    EXPECT_EQ(print.Stored(L"PRINT"), L"/spool/job 1.grp");
    EXPECT_EQ(print.Stored(L"PRINT"), L"/spool/job 1.grp");

    Parsed pdf({L"/pdf", L"/in/report.pdf"});
    EXPECT_TRUE(pdf.IsPrintJob());
    EXPECT_TRUE(pdf.IsPdfJob());
    EXPECT_EQ(pdf.GetFileName(), L"/in/report.pdf");
    // The bare switch is kept under its name as typed.
    EXPECT_EQ(pdf.Stored(L"pdf"), L"TRUE");
    EXPECT_TRUE(pdf.HasFlag(L"pdf"));
    EXPECT_FALSE(pdf.HasFlag(L"PRINT"));
}

TEST(command_line_test, a_switch_without_value_leaves_editor_only_mode) {
    Parsed p({L"-print"});
    EXPECT_FALSE(p.IsPrintJob());
    EXPECT_EQ(p.GetFileName(), L"");
    // A value with no pending switch is stored under the empty name and sets nothing.
    Parsed v({L"lonely.grp", L"-printer", L"x"});
    EXPECT_EQ(v.Stored(L""), L"lonely.grp");
    EXPECT_FALSE(v.IsPrintJob());
    EXPECT_EQ(v.Stored(L"PRINTER"), L"x");
}

TEST(command_line_test, scripted_switches_and_paths_that_begin_with_a_slash) {
    Parsed p(
        {L"-print", L"/tmp/job.grp", L"-Profile", L"Sales Report", L"-out", L"/tmp/out.xlsx", L"-BATCH"});
    EXPECT_TRUE(p.IsPrintJob());
    EXPECT_EQ(p.GetFileName(), L"/tmp/job.grp");
    EXPECT_TRUE(p.HasProfileSwitch());
    EXPECT_EQ(p.GetProfileName(), L"Sales Report");
    EXPECT_TRUE(p.HasOutSwitch());
    EXPECT_EQ(p.GetOutputPath(), L"/tmp/out.xlsx");
    EXPECT_TRUE(p.IsBatch());

    Parsed missing({L"-print", L"/tmp/job.grp", L"-profile"});
    EXPECT_TRUE(missing.HasProfileSwitch());
    EXPECT_EQ(missing.GetProfileName(), L"");
    EXPECT_FALSE(missing.IsBatch());
    EXPECT_FALSE(missing.HasOutSwitch());
}

TEST(command_line_test, an_overlong_switch_name_is_cut_and_stays_terminated) {
    const std::wstring longName(400, L'x');
    Parsed p({L"-" + longName, L"value"});
    EXPECT_EQ(p.LastSwitch(), L"");
    EXPECT_EQ(p.Stored(std::wstring(259, L'X')), L"value");
    EXPECT_EQ(p.Stored(longName), L"TRUE");
}
