// The programs reach profiles through the virtual tables of the objects the
// manager hands out, so the order of the virtual operations is part of the
// library's binary interface. These checks pin it: each operation's table
// entry must sit at its documented slot (the destructor counts as slot 1 and,
// in this ABI, fills the first two entries).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "lib/manager/KVDriverOptionsMgr.h"
#include "lib/options/KVDriverOptionsExcel.h"
#include "lib/xml/KVProfileXmlFile.h"

namespace {

template <class F>
long Slot(F function) {
    static_assert(sizeof(F) == 2 * sizeof(std::ptrdiff_t));
    std::ptrdiff_t words[2];
    std::memcpy(words, &function, sizeof(words));
    // A virtual member pointer holds 1 + the entry's byte offset.
    return (words[0] & 1) != 0
               ? static_cast<long>((words[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*)))
               : -1;
}

struct OptionsProbe : KVDriverOptionsExcel {
    static void Check() {
        EXPECT_EQ(Slot(&OptionsProbe::WriteErrorLog), 16);
        EXPECT_EQ(Slot(&OptionsProbe::ValidateRegValue), 17);
        EXPECT_EQ(
            Slot(static_cast<void (KVDriverOptions::*)(const KVDriverOptions&)>(&OptionsProbe::InternalCopy)),
            18);
    }
};

struct ManagerProbe : KVDriverOptionsMgr {
    static void Check() {
        EXPECT_EQ(Slot(&ManagerProbe::SetMRUProfile), 16);
        EXPECT_EQ(Slot(&ManagerProbe::GetNextProfileIndex), 17);
    }
};

struct XmlProbe : KVProfileXmlFile {
    static void Check() {
        EXPECT_EQ(Slot(&XmlProbe::ClearProfileArray), 4);
        EXPECT_EQ(Slot(&XmlProbe::DoesProfileExist), 5);
        EXPECT_EQ(Slot(&XmlProbe::DoesAnchorDescriptorExist), 6);
        EXPECT_EQ(Slot(&XmlProbe::FindNode), 7);
        EXPECT_EQ(Slot(&XmlProbe::GetNodeString), 8);
        EXPECT_EQ(Slot(&XmlProbe::GetNodeBOOL), 9);
        EXPECT_EQ(Slot(&XmlProbe::GetNodeLong), 10);
        EXPECT_EQ(Slot(&XmlProbe::ProcessProfileDocument), 11);
        EXPECT_EQ(Slot(&XmlProbe::ProcessProfileNode), 12);
        EXPECT_EQ(Slot(&XmlProbe::ProcessFontNode), 13);
        EXPECT_EQ(Slot(&XmlProbe::ProcessRemoveDataAnchorNode), 14);
    }
};

TEST(abi_test, driver_options_slots) {
    using O = KVDriverOptions;
    EXPECT_EQ(Slot(&O::CopyFrom), 2);
    EXPECT_EQ(Slot(&O::GetInstallFolder), 3);
    EXPECT_EQ(Slot(&O::SetInstallFolder), 4);
    EXPECT_EQ(Slot(&O::GetDefaultFileParserType), 5);
    EXPECT_EQ(Slot(&O::SetDefaultFileParserType), 6);
    EXPECT_EQ(Slot(&O::GetMRUProfileIndex), 7);
    EXPECT_EQ(Slot(&O::SetMRUProfileIndex), 8);
    EXPECT_EQ(Slot(&O::GetMRUProfileName), 9);
    EXPECT_EQ(Slot(&O::SetMRUProfileName), 10);
    EXPECT_EQ(Slot(&O::LoadSettings), 11);
    EXPECT_EQ(Slot(&O::SaveSettings), 12);
    EXPECT_EQ(Slot(&O::LoadDefaultValues), 13);
    EXPECT_EQ(Slot(&O::ClearOptions), 14);
    EXPECT_EQ(Slot(&O::GetDriverOptionType), 15);
    OptionsProbe::Check();
}

TEST(abi_test, profile_and_spreadsheet_profile_slots) {
    using P = KVDriverOptionsProfile;
    using E = KVDriverOptionsExcel;
    EXPECT_EQ(Slot(&P::Clone), 19);
    EXPECT_EQ(Slot(&P::ToXml), 20);
    EXPECT_EQ(Slot(&P::FromXml), 21);
    EXPECT_EQ(Slot(&P::GetProfileName), 22);
    EXPECT_EQ(Slot(&E::GetDefaultOutputFolder), 23);
    EXPECT_EQ(Slot(&E::SetLastFileOpened), 26);
    EXPECT_EQ(Slot(&E::GetFontName), 33);
    EXPECT_EQ(Slot(&E::SetFontItalicize), 42);
    EXPECT_EQ(Slot(&E::GetDateFormatW), 49);
    EXPECT_EQ(Slot(&E::SetDateFormat), 50);
    EXPECT_EQ(Slot(&E::GetIsCustomDateFormat), 51);
    EXPECT_EQ(Slot(&E::SetReportIdentifier), 56);
    EXPECT_EQ(Slot(&E::CreateRemoveDataAnchor), 57);
    EXPECT_EQ(Slot(&E::GetRemoveDataAnchorCount), 58);
    EXPECT_EQ(
        Slot(static_cast<const KVExcelRemoveDataAnchor* (E::*)(LPCTSTR) const>(&E::GetRemoveDataAnchor)), 59);
    EXPECT_EQ(Slot(static_cast<const KVExcelRemoveDataAnchor* (E::*)(long) const>(&E::GetRemoveDataAnchor)),
              60);
    EXPECT_EQ(Slot(static_cast<KVExcelRemoveDataAnchor* (E::*)(LPCTSTR)>(&E::GetEditableRemoveDataAnchor)),
              61);
    EXPECT_EQ(Slot(static_cast<KVExcelRemoveDataAnchor* (E::*)(long)>(&E::GetEditableRemoveDataAnchor)), 62);
    EXPECT_EQ(Slot(static_cast<void (E::*)(LPCTSTR)>(&E::RemoveDataAnchor)), 63);
    EXPECT_EQ(Slot(static_cast<void (E::*)(long)>(&E::RemoveDataAnchor)), 64);
    EXPECT_EQ(Slot(&E::ClearAllDataAnchors), 65);
    EXPECT_EQ(Slot(&KVExcelRemoveDataAnchor::Clone), 2);
}

TEST(abi_test, manager_and_xml_file_slots) {
    using M = KVDriverOptionsMgr;
    EXPECT_EQ(Slot(&M::GetDefaultDriverOptions), 2);
    EXPECT_EQ(Slot(&M::GetDefaultExcelDriverOptions), 3);
    EXPECT_EQ(Slot(&M::CreateNewDriverOption), 4);
    EXPECT_EQ(Slot(&M::LoadSettings), 5);
    EXPECT_EQ(Slot(&M::SaveSettings), 6);
    EXPECT_EQ(Slot(&M::RemoveProfile), 7);
    EXPECT_EQ(Slot(&M::GetExcelProfileCount), 8);
    EXPECT_EQ(Slot(static_cast<KVDriverOptionsProfile* (M::*)(LPCTSTR)>(&M::GetExcelProfile)), 9);
    EXPECT_EQ(Slot(static_cast<KVDriverOptionsProfile* (M::*)(long)>(&M::GetExcelProfile)), 10);
    EXPECT_EQ(Slot(&M::GetMRUProfile), 11);
    EXPECT_EQ(Slot(&M::ImportProfiles), 12);
    EXPECT_EQ(Slot(&M::ExportProfiles), 13);
    EXPECT_EQ(Slot(&M::GetExcelProfileArray), 14);
    EXPECT_EQ(Slot(&M::DoesProfileExist), 15);
    ManagerProbe::Check();
    EXPECT_EQ(Slot(&KVProfileXmlFile::LoadProfileFile), 2);
    EXPECT_EQ(Slot(&KVProfileXmlFile::SaveProfileFile), 3);
    XmlProbe::Check();
}

}  // namespace
