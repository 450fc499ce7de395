// Reads and writes the XML profile file: a "SHEETWISE_PROFILES" root holding
// one "PROFILE" element per profile.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"
#include "lib/xml/KVXmlNode.h"
#include "lib/xml/KVXmlProfile.h"

class KVLIB_API KVProfileXmlFile {
public:
    static const char* const msc_pSheetwiseProfilesElementName;
    static const char* const msc_pProfileElementName;
    static const char* const msc_pProfileTypeElementName;
    static const char* const msc_pDateFormatElementName;
    static const char* const msc_pCustomDateFormatElementName;
    static const char* const msc_pMoveToTopLeftCellElementName;
    static const char* const msc_pNumericFormatElementName;
    static const char* const msc_pReportIdentifierElementName;
    static const char* const msc_pProfileNameElementName;
    static const char* const msc_pRemoveColumnsWithSpaceElementName;
    static const char* const msc_pRemoveDataSectionElementName;
    static const char* const msc_pRemoveRowsWithSpaceElementName;
    static const char* const msc_pResizeCellsElementName;
    static const char* const msc_pFontElementName;
    static const char* const msc_pRemoveDataAnchorsElementName;
    static const char* const msc_pFontNameElementName;
    static const char* const msc_pFontSizeElementName;
    static const char* const msc_pFontBoldElementName;
    static const char* const msc_pFontItalicizeElementName;
    static const char* const msc_pFontUnderlineElementName;
    static const char* const msc_pRemoveFormattingOfCellsElementName;
    static const char* const msc_pRemoveDataAnchorElementName;
    static const char* const msc_pAnchorDescriptorElementName;
    static const char* const msc_pAnchorIndexElementName;
    static const char* const msc_pAnchorTypeElementName;
    static const char* const msc_pAnchorAreaBottomElementName;
    static const char* const msc_pAnchorAreaLeftElementName;
    static const char* const msc_pAnchorAreaRightElementName;
    static const char* const msc_pAnchorAreaTopElementName;

    // Largest file the loader accepts, and deepest element nesting: the
    // document model parses recursively, so hostile nesting is refused
    // before parsing.
    static constexpr long msc_lMaxFileSize = 64L * 1024 * 1024;
    static constexpr int msc_nMaxNestingDepth = 32;

    // Loaded profiles go to `profiles` (owned by the caller), or to the
    // object's own list when it is null.
    explicit KVProfileXmlFile(std::vector<KVXmlProfile*>* profiles = nullptr);
    // Copies share the own list; its profiles are deleted with the last copy.
    KVProfileXmlFile(const KVProfileXmlFile& other);
    KVProfileXmlFile& operator=(const KVProfileXmlFile& other);

    // The virtual operations are part of the binary interface: keep their order.
    virtual ~KVProfileXmlFile();
    // False for a missing, unreadable, too large, too deeply nested or
    // malformed file and for any structural fault; profiles read before the
    // fault stay in the target list.
    virtual bool LoadProfileFile(LPCTSTR path);
    // Why the last load failed, with the line where the file says; empty
    // after a load that succeeded.
    const std::wstring& GetLoadError() const { return m_strLoadError; }
    // Writes the target list to `path` through a temporary file in the same
    // folder, so a failed save leaves any old file as it was.
    virtual bool SaveProfileFile(LPCTSTR path);

protected:
    virtual void ClearProfileArray();
    virtual bool DoesProfileExist(LPCTSTR name);
    virtual bool DoesAnchorDescriptorExist(KVXmlProfile* profile, LPCTSTR descriptor);
    virtual KVXmlNode* FindNode(const char* name, KVXmlNode* parent, long index, long& counter);
    virtual bool GetNodeString(KVXmlNode* node, LPTSTR buffer, long capacity);
    virtual bool GetNodeBOOL(KVXmlNode* node, int* value);
    virtual bool GetNodeLong(KVXmlNode* node, long* value);
    virtual bool ProcessProfileDocument(KVXmlNode* node);
    virtual bool ProcessProfileNode(KVXmlNode* node);
    virtual bool ProcessFontNode(KVXmlProfile* profile, KVXmlNode* node);
    virtual bool ProcessRemoveDataAnchorNode(KVXmlProfile* profile, KVXmlNode* node);

    std::vector<KVXmlProfile*>& TargetList() { return *m_pTargetList; }

private:
    struct NameIndex;
    // Records the first reason a load fails for; returns false.
    bool LoadFailed(const std::wstring& reason);

    std::shared_ptr<std::vector<KVXmlProfile*>> m_pOwnList;
    std::vector<KVXmlProfile*>* m_pTargetList = nullptr;
    // Case-folded names of the target list, kept only while a file loads, so
    // checking each new name against thousands of loaded ones stays cheap.
    std::shared_ptr<NameIndex> m_pLoadIndex;
    std::wstring m_strLoadError;
};
