#include "lib/xml/KVProfileXmlFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <exception>
#include <string>
#include <unordered_set>

#include "lib/util/KVLibUtility.h"
#include "lib/util/KVText.h"
#include "lib/xml/KVXmlNodeImpl.h"
#include "platform/base/TextCodec.h"

using kvlib::xml::Handle;
using kvlib::xml::Node;

const char* const KVProfileXmlFile::msc_pSheetwiseProfilesElementName = "SHEETWISE_PROFILES";
const char* const KVProfileXmlFile::msc_pProfileElementName = "PROFILE";
const char* const KVProfileXmlFile::msc_pProfileTypeElementName = "PROFILETYPE";
const char* const KVProfileXmlFile::msc_pDateFormatElementName = "DATEFORMAT";
const char* const KVProfileXmlFile::msc_pCustomDateFormatElementName = "CUSTOMDATEFORMAT";
const char* const KVProfileXmlFile::msc_pMoveToTopLeftCellElementName = "MOVETOTOPLEFTCELL";
const char* const KVProfileXmlFile::msc_pNumericFormatElementName = "NUMERICFORMAT";
const char* const KVProfileXmlFile::msc_pReportIdentifierElementName = "REPORTIDENTIFIER";
const char* const KVProfileXmlFile::msc_pProfileNameElementName = "PROFILENAME";
const char* const KVProfileXmlFile::msc_pRemoveColumnsWithSpaceElementName = "REMOVECOLUMNSWITHSPACE";
const char* const KVProfileXmlFile::msc_pRemoveDataSectionElementName = "REMOVEDATASECTION";
const char* const KVProfileXmlFile::msc_pRemoveRowsWithSpaceElementName = "REMOVEROWSWITHSPACE";
const char* const KVProfileXmlFile::msc_pResizeCellsElementName = "RESIZECELLS";
const char* const KVProfileXmlFile::msc_pFontElementName = "FONT";
const char* const KVProfileXmlFile::msc_pRemoveDataAnchorsElementName = "REMOVEDATAANCHORS";
const char* const KVProfileXmlFile::msc_pFontNameElementName = "FONTNAME";
const char* const KVProfileXmlFile::msc_pFontSizeElementName = "FONTSIZE";
const char* const KVProfileXmlFile::msc_pFontBoldElementName = "FONTBOLD";
const char* const KVProfileXmlFile::msc_pFontItalicizeElementName = "FONTITALICIZE";
const char* const KVProfileXmlFile::msc_pFontUnderlineElementName = "FONTUNDERLINE";
const char* const KVProfileXmlFile::msc_pRemoveFormattingOfCellsElementName = "REMOVEFORMATTINGOFCELLS";
const char* const KVProfileXmlFile::msc_pRemoveDataAnchorElementName = "REMOVEDATAANCHOR";
const char* const KVProfileXmlFile::msc_pAnchorDescriptorElementName = "ANCHORDESCRIPTOR";
const char* const KVProfileXmlFile::msc_pAnchorIndexElementName = "ANCHORINDEX";
const char* const KVProfileXmlFile::msc_pAnchorTypeElementName = "ANCHORTYPE";
const char* const KVProfileXmlFile::msc_pAnchorAreaBottomElementName = "AREABOTTOM";
const char* const KVProfileXmlFile::msc_pAnchorAreaLeftElementName = "AREALEFT";
const char* const KVProfileXmlFile::msc_pAnchorAreaRightElementName = "AREARIGHT";
const char* const KVProfileXmlFile::msc_pAnchorAreaTopElementName = "AREATOP";

namespace {

void DeleteProfiles(std::vector<KVXmlProfile*>* profiles) {
    if (profiles == nullptr) {
        return;
    }
    for (auto it = profiles->rbegin(); it != profiles->rend(); ++it) {
        delete *it;
    }
    delete profiles;
}

// The path in the locale's narrow encoding, as it must fit a 260-byte path
// buffer; false when it does not fit or is empty.
bool NarrowPath(LPCTSTR path, std::string* out) {
    if (path == nullptr || path[0] == L'\0') {
        return false;
    }
    char buffer[KV_PATH_CAPACITY] = {};
    KVLibUtility::CopyLPTSTRtoLPSTR(path, buffer, KV_PATH_CAPACITY - 1);
    if (buffer[0] == '\0') {
        return false;
    }
    *out = buffer;
    return true;
}

bool NameBegins(TiXmlNode* node, const char* prefix) {
    if (node == nullptr || node->ToElement() == nullptr) {
        return false;
    }
    const char* name = node->Value();
    return name != nullptr && std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

// Deepest element nesting of raw XML text, counted without parsing; stops
// counting once `limit` is passed. Anything that might open an element counts
// as one, so the estimate never falls below what the parser would build.
int NestingDepth(const std::string& text, int limit) {
    const std::size_t n = text.size();
    int depth = 0;
    std::size_t i = 0;
    auto skipPast = [&](const char* terminator, std::size_t from) {
        const std::size_t at = text.find(terminator, from);
        return at == std::string::npos ? n : at + std::strlen(terminator);
    };
    while (i < n) {
        if (text[i] != '<') {
            ++i;
            continue;
        }
        if (text.compare(i, 4, "<!--") == 0) {
            i = skipPast("-->", i + 4);
        } else if (text.compare(i, 9, "<![CDATA[") == 0) {
            i = skipPast("]]>", i + 9);
        } else if (i + 1 < n && (text[i + 1] == '?' || text[i + 1] == '!')) {
            i = skipPast(">", i + 2);
        } else if (i + 1 < n && text[i + 1] == '/') {
            if (depth > 0) {
                --depth;
            }
            i = skipPast(">", i + 2);
        } else {
            std::size_t j = i + 1;
            char quote = 0;
            for (; j < n; ++j) {
                const char c = text[j];
                if (quote != 0) {
                    if (c == quote) {
                        quote = 0;
                    }
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            const bool selfClosing = j < n && text[j - 1] == '/';
            if (!selfClosing && ++depth > limit) {
                return depth;
            }
            i = j + 1;
        }
    }
    return depth;
}

// Reads the whole file in binary, refusing files larger than `maxSize`; the
// reason when it cannot.
std::wstring ReadFileBounded(const std::string& path, long maxSize, std::string* out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return L"cannot be opened (" + sw::base::FromLocaleOrCp1252(std::strerror(errno)) + L")";
    }
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return L"is not a regular file";
    }
    const std::wstring tooLarge = L"is larger than " + std::to_wstring(maxSize / (1024 * 1024)) +
                                  L" MB, the most a profile file may hold";
    if (info.st_size > maxSize) {
        std::fclose(file);
        return tooLarge;
    }
    out->clear();
    out->reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        if (out->size() + got > static_cast<std::size_t>(maxSize)) {
            std::fclose(file);
            return tooLarge;
        }
        out->append(chunk, got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok ? std::wstring() : L"could not be read to its end";
}

// " (line N)" for a node of the document.
std::wstring AtLine(KVXmlNode* node) {
    const TiXmlNode* n = Node(node);
    return n != nullptr ? L" (line " + std::to_wstring(n->Row()) + L")" : std::wstring();
}

// Line ends as a text-mode read leaves them: "\r\n" and a lone "\r" become "\n".
void NormaliseLineEnds(std::string* text) {
    std::string out;
    out.reserve(text->size());
    for (std::size_t i = 0; i < text->size(); ++i) {
        const char c = (*text)[i];
        if (c == '\r') {
            out.push_back('\n');
            if (i + 1 < text->size() && (*text)[i + 1] == '\n') {
                ++i;
            }
        } else {
            out.push_back(c);
        }
    }
    text->swap(out);
}

// Equal keys exactly when the whole-string case-insensitive comparison finds
// the texts equal.
std::wstring FoldCase(const wchar_t* text) {
    std::wstring folded(text);
    for (wchar_t& c : folded) {
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return folded;
}

// Numbers of the file are 32-bit, as the stored settings are: a longer
// number saturates here instead of wrapping to another value once the
// profile is stored.
long ParseLong(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    if (value > static_cast<long>(INT32_MAX)) {
        return INT32_MAX;
    }
    if (value < static_cast<long>(INT32_MIN)) {
        return INT32_MIN;
    }
    return value;
}

// What an element holds as text, or null where its first child is not text.
const char* TextOf(KVXmlNode* node) {
    TiXmlNode* first = Node(node)->FirstChild();
    return first != nullptr && first->ToText() != nullptr ? first->Value() : nullptr;
}

}  // namespace

struct KVProfileXmlFile::NameIndex {
    std::unordered_set<std::wstring> names;
    std::size_t indexed = 0;  // entries of the target list already in `names`
};

KVProfileXmlFile::KVProfileXmlFile(std::vector<KVXmlProfile*>* profiles)
    : m_pOwnList(new std::vector<KVXmlProfile*>(), DeleteProfiles),
      m_pTargetList(profiles != nullptr ? profiles : m_pOwnList.get()) {}

KVProfileXmlFile::KVProfileXmlFile(const KVProfileXmlFile& other) = default;
KVProfileXmlFile& KVProfileXmlFile::operator=(const KVProfileXmlFile& other) = default;

KVProfileXmlFile::~KVProfileXmlFile() = default;

void KVProfileXmlFile::ClearProfileArray() {
    for (auto it = m_pOwnList->rbegin(); it != m_pOwnList->rend(); ++it) {
        delete *it;
    }
    m_pOwnList->clear();
}

bool KVProfileXmlFile::DoesProfileExist(LPCTSTR name) {
    if (name == nullptr || name[0] == L'\0') {
        return false;
    }
    if (m_pLoadIndex != nullptr && m_pLoadIndex->indexed <= m_pTargetList->size()) {
        // During a load the list only grows: index what was appended since.
        for (; m_pLoadIndex->indexed < m_pTargetList->size(); ++m_pLoadIndex->indexed) {
            const KVXmlProfile* profile = (*m_pTargetList)[m_pLoadIndex->indexed];
            if (profile != nullptr) {
                m_pLoadIndex->names.insert(FoldCase(profile->GetProfileName()));
            }
        }
        return m_pLoadIndex->names.count(FoldCase(name)) != 0;
    }
    for (const KVXmlProfile* profile : *m_pTargetList) {
        if (profile != nullptr && kvlib::EqualsNoCase(profile->GetProfileName(), name)) {
            return true;
        }
    }
    return false;
}

bool KVProfileXmlFile::DoesAnchorDescriptorExist(KVXmlProfile* profile, LPCTSTR descriptor) {
    if (profile == nullptr || descriptor == nullptr || descriptor[0] == L'\0') {
        return false;
    }
    for (long i = 0; i < profile->GetAnchorCount(); ++i) {
        if (kvlib::EqualsNoCase(profile->GetAnchor(i)->GetAnchorDescriptor(), descriptor)) {
            return true;
        }
    }
    return false;
}

KVXmlNode* KVProfileXmlFile::FindNode(const char* name, KVXmlNode* parent, long index, long& counter) {
    if (name == nullptr || name[0] == '\0' || parent == nullptr) {
        return nullptr;
    }
    for (TiXmlElement* child = Node(parent)->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (std::strcmp(child->Value(), name) != 0) {
            continue;
        }
        if (counter >= index) {
            return Handle(child);
        }
        ++counter;
    }
    return nullptr;
}

bool KVProfileXmlFile::GetNodeString(KVXmlNode* node, LPTSTR buffer, long capacity) {
    if (node == nullptr || buffer == nullptr || capacity <= 0) {
        return false;
    }
    std::fill(buffer, buffer + capacity, L'\0');
    const char* text = TextOf(node);
    if (text == nullptr) {
        return false;
    }
    const std::wstring wide = sw::base::FromLocaleOrCp1252(text);
    KVLibUtility::CopyLPCTSTRToLPTSTR(wide.c_str(), buffer, capacity);
    return true;
}

bool KVProfileXmlFile::GetNodeBOOL(KVXmlNode* node, int* value) {
    if (node == nullptr || value == nullptr) {
        return false;
    }
    *value = 0;
    const char* text = TextOf(node);
    if (text == nullptr) {
        return false;
    }
    if (text[0] != '\0') {
        const long parsed = ParseLong(text);
        *value = parsed > INT_MAX ? INT_MAX : parsed < INT_MIN ? INT_MIN : static_cast<int>(parsed);
    }
    return true;
}

bool KVProfileXmlFile::GetNodeLong(KVXmlNode* node, long* value) {
    if (node == nullptr || value == nullptr) {
        return false;
    }
    *value = 0;
    const char* text = TextOf(node);
    if (text == nullptr) {
        return false;
    }
    if (text[0] != '\0') {
        *value = ParseLong(text);
    }
    return true;
}

bool KVProfileXmlFile::LoadProfileFile(LPCTSTR path) {
    m_strLoadError.clear();
    try {
        std::string narrowPath;
        if (!NarrowPath(path, &narrowPath)) {
            return LoadFailed(L"the path is empty or longer than a path may be");
        }
        std::string text;
        if (std::wstring problem = ReadFileBounded(narrowPath, msc_lMaxFileSize, &text); !problem.empty()) {
            return LoadFailed(L"the file " + problem);
        }
        if (NestingDepth(text, msc_nMaxNestingDepth) > msc_nMaxNestingDepth) {
            return LoadFailed(L"elements are nested more than " + std::to_wstring(msc_nMaxNestingDepth) +
                              L" deep");
        }
        NormaliseLineEnds(&text);
        struct IndexScope {
            std::shared_ptr<NameIndex>& index;
            ~IndexScope() { index.reset(); }
        } scope{m_pLoadIndex};
        m_pLoadIndex = std::make_shared<NameIndex>();
        // Element text is kept as written, so names and formats with leading,
        // trailing or repeated blanks come back exactly as they were exported.
        TiXmlBase::SetCondenseWhiteSpace(false);
        TiXmlDocument document;
        document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        if (document.Error()) {
            // The parser knows no place for an error at the end of the text.
            const std::wstring where = document.ErrorRow() > 0
                                           ? L" (line " + std::to_wstring(document.ErrorRow()) +
                                                 L", column " + std::to_wstring(document.ErrorCol()) + L")"
                                           : L" (at the end of the file)";
            return LoadFailed(L"the XML is not well formed: " +
                              sw::base::FromUtf8OrCp1252(document.ErrorDesc()) + where);
        }
        return ProcessProfileDocument(Handle(&document));
    } catch (const std::exception& e) {
        return LoadFailed(L"the file could not be loaded: " + sw::base::FromUtf8OrCp1252(e.what()));
    }
}

bool KVProfileXmlFile::LoadFailed(const std::wstring& reason) {
    if (m_strLoadError.empty()) {
        m_strLoadError = reason;
    }
    return false;
}

bool KVProfileXmlFile::ProcessProfileDocument(KVXmlNode* node) {
    if (node == nullptr || Node(node)->ToDocument() == nullptr) {
        return false;
    }
    long counter = 0;
    KVXmlNode* root = FindNode(msc_pSheetwiseProfilesElementName, node, 0, counter);
    if (root == nullptr) {
        return LoadFailed(L"there is no " + sw::base::FromUtf8OrCp1252(msc_pSheetwiseProfilesElementName) +
                          L" element");
    }
    // Walk the siblings directly: looking each one up by position would make
    // a file of many profiles quadratic.
    for (TiXmlElement* child = Node(root)->FirstChildElement(msc_pProfileElementName); child != nullptr;
         child = child->NextSiblingElement(msc_pProfileElementName)) {
        if (!ProcessProfileNode(Handle(child))) {
            return false;
        }
    }
    if (m_pTargetList->empty()) {
        return LoadFailed(L"there is no PROFILE element" + AtLine(root));
    }
    return true;
}

bool KVProfileXmlFile::ProcessProfileNode(KVXmlNode* node) {
    if (!NameBegins(Node(node), msc_pProfileElementName)) {
        return false;
    }
    auto find = [&](const char* name) {
        long counter = 0;
        return FindNode(name, node, 0, counter);
    };
    KVXmlNode* nameNode = find(msc_pProfileNameElementName);
    if (nameNode == nullptr) {
        return LoadFailed(L"a PROFILE has no PROFILENAME" + AtLine(node));
    }
    wchar_t name[KV_TEXT_CAPACITY] = {};
    GetNodeString(nameNode, name, KV_TEXT_CAPACITY);
    if (name[0] == L'\0') {
        return LoadFailed(L"a PROFILENAME is empty" + AtLine(nameNode));
    }
    if (DoesProfileExist(name)) {
        return LoadFailed(L"the profile name \"" + std::wstring(name) + L"\" appears twice" +
                          AtLine(nameNode));
    }

    auto* profile = new KVXmlProfile();
    try {
        long type = 0;
        GetNodeLong(find(msc_pProfileTypeElementName), &type);
        profile->SetProfileType(type);

        wchar_t dateFormat[KV_TEXT_CAPACITY] = {};
        wchar_t customDateFormat[KV_TEXT_CAPACITY] = {};
        GetNodeString(find(msc_pDateFormatElementName), dateFormat, KV_TEXT_CAPACITY);
        GetNodeString(find(msc_pCustomDateFormatElementName), customDateFormat, KV_TEXT_CAPACITY);
        profile->SetDateFormat(dateFormat, customDateFormat);

        int flag = 0;
        GetNodeBOOL(find(msc_pMoveToTopLeftCellElementName), &flag);
        profile->SetMoveToTopLeftCell(flag);

        wchar_t text[KV_TEXT_CAPACITY] = {};
        GetNodeString(find(msc_pNumericFormatElementName), text, KV_TEXT_CAPACITY);
        profile->SetNumericFormat(text);
        profile->SetProfileName(name);
        std::fill(text, text + KV_TEXT_CAPACITY, L'\0');
        GetNodeString(find(msc_pReportIdentifierElementName), text, KV_TEXT_CAPACITY);
        profile->SetReportIdentifier(text);

        flag = 0;
        GetNodeBOOL(find(msc_pRemoveColumnsWithSpaceElementName), &flag);
        profile->SetRemoveColumnsWithSpace(flag);
        flag = 0;
        GetNodeBOOL(find(msc_pRemoveDataSectionElementName), &flag);
        profile->SetRemoveDataSection(flag);
        flag = 0;
        GetNodeBOOL(find(msc_pRemoveRowsWithSpaceElementName), &flag);
        profile->SetRemoveRowsWithSpace(flag);
        flag = 0;
        GetNodeBOOL(find(msc_pResizeCellsElementName), &flag);
        profile->SetResizeCells(flag);
    } catch (...) {
        delete profile;
        throw;
    }

    bool result = true;
    if (KVXmlNode* font = find(msc_pFontElementName)) {
        result = ProcessFontNode(profile, font) && result;
    }
    if (KVXmlNode* anchors = find(msc_pRemoveDataAnchorsElementName)) {
        result = ProcessRemoveDataAnchorNode(profile, anchors) && result;
    }
    try {
        m_pTargetList->push_back(profile);
    } catch (...) {
        delete profile;
        throw;
    }
    return result;
}

bool KVProfileXmlFile::ProcessFontNode(KVXmlProfile* profile, KVXmlNode* node) {
    if (profile == nullptr || !NameBegins(Node(node), msc_pFontElementName)) {
        return false;
    }
    auto find = [&](const char* name) {
        long counter = 0;
        return FindNode(name, node, 0, counter);
    };
    KVXmlFont& font = profile->GetFont();
    wchar_t name[KV_TEXT_CAPACITY] = {};
    GetNodeString(find(msc_pFontNameElementName), name, KV_TEXT_CAPACITY);
    font.SetFontName(name);

    long size = 12;
    if (KVXmlNode* sizeNode = find(msc_pFontSizeElementName)) {
        GetNodeLong(sizeNode, &size);
    }
    font.SetFontSize(size);

    int flag = 0;
    GetNodeBOOL(find(msc_pFontBoldElementName), &flag);
    font.SetBold(flag);
    flag = 0;
    GetNodeBOOL(find(msc_pFontItalicizeElementName), &flag);
    font.SetItalicize(flag);
    flag = 0;
    GetNodeBOOL(find(msc_pFontUnderlineElementName), &flag);
    font.SetUnderline(flag);
    flag = 0;
    GetNodeBOOL(find(msc_pRemoveFormattingOfCellsElementName), &flag);
    font.SetRemoveFormattingOfCells(flag);
    return true;
}

bool KVProfileXmlFile::ProcessRemoveDataAnchorNode(KVXmlProfile* profile, KVXmlNode* node) {
    if (profile == nullptr || !NameBegins(Node(node), msc_pRemoveDataAnchorsElementName)) {
        return false;
    }
    for (TiXmlElement* child = Node(node)->FirstChildElement(msc_pRemoveDataAnchorElementName);
         child != nullptr; child = child->NextSiblingElement(msc_pRemoveDataAnchorElementName)) {
        KVXmlNode* anchorNode = Handle(child);
        auto find = [&](const char* name) {
            long counter = 0;
            return FindNode(name, anchorNode, 0, counter);
        };
        KVXmlNode* descriptorNode = find(msc_pAnchorDescriptorElementName);
        if (descriptorNode == nullptr) {
            return LoadFailed(L"a REMOVEDATAANCHOR has no ANCHORDESCRIPTOR" + AtLine(anchorNode));
        }
        wchar_t descriptor[KV_TEXT_CAPACITY] = {};
        GetNodeString(descriptorNode, descriptor, KV_TEXT_CAPACITY);
        if (descriptor[0] == L'\0') {
            return LoadFailed(L"an ANCHORDESCRIPTOR is empty" + AtLine(descriptorNode));
        }
        if (DoesAnchorDescriptorExist(profile, descriptor)) {
            return LoadFailed(L"the anchor \"" + std::wstring(descriptor) +
                              L"\" appears twice in one profile" + AtLine(descriptorNode));
        }
        long index = 0;
        long type = 0;
        long bottom = 0;
        long left = 0;
        long right = 0;
        long top = 0;
        GetNodeLong(find(msc_pAnchorIndexElementName), &index);
        GetNodeLong(find(msc_pAnchorTypeElementName), &type);
        GetNodeLong(find(msc_pAnchorAreaBottomElementName), &bottom);
        GetNodeLong(find(msc_pAnchorAreaLeftElementName), &left);
        GetNodeLong(find(msc_pAnchorAreaRightElementName), &right);
        GetNodeLong(find(msc_pAnchorAreaTopElementName), &top);
        auto* anchor = new KVXmlRemoveDataAnchor();
        anchor->SetAnchorDescriptor(descriptor);
        anchor->SetAnchorIndex(index);
        anchor->SetAnchorType(type);
        anchor->SetAreaBottom(bottom);
        anchor->SetAreaLeft(left);
        anchor->SetAreaRight(right);
        anchor->SetAreaTop(top);
        profile->AddAnchor(anchor);
    }
    return true;
}

bool KVProfileXmlFile::SaveProfileFile(LPCTSTR path) {
    std::string temporary;
    try {
        std::string narrowPath;
        if (!NarrowPath(path, &narrowPath)) {
            return false;
        }
        TiXmlDocument document;
        auto* root = new TiXmlElement(msc_pSheetwiseProfilesElementName);
        document.LinkEndChild(root);
        for (const KVXmlProfile* profile : *m_pTargetList) {
            auto* element = new TiXmlElement(msc_pProfileElementName);
            root->LinkEndChild(element);
            if (profile != nullptr) {
                profile->OutputXml(Handle(element));
            }
        }

        // Write beside the target and rename over it: the old file stays as it
        // was until the new one is complete on disk.
        const std::size_t slash = narrowPath.rfind('/');
        const std::string folder =
            slash == std::string::npos ? std::string(".") : narrowPath.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? narrowPath : narrowPath.substr(slash + 1);
        if (base.empty()) {
            return false;
        }
        std::string pattern = folder + (folder.back() == '/' ? "" : "/") + "." + base + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0) {
            return false;
        }
        temporary = name.data();

        mode_t mode = 0;
        struct stat old {};
        if (stat(narrowPath.c_str(), &old) == 0) {
            mode = old.st_mode & 07777;
        } else {
            const mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        fchmod(fd, mode);

        std::FILE* file = fdopen(fd, "w");
        if (file == nullptr) {
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
        bool ok = document.SaveFile(file);
        ok = std::fflush(file) == 0 && ok;
        ok = fsync(fileno(file)) == 0 && ok;
        ok = std::fclose(file) == 0 && ok;
        if (!ok || std::rename(temporary.c_str(), narrowPath.c_str()) != 0) {
            unlink(temporary.c_str());
            return false;
        }
        return true;
    } catch (const std::exception&) {
        if (!temporary.empty()) {
            unlink(temporary.c_str());
        }
        return false;
    }
}
