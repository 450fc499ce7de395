// The one object through which programs reach the stored options: the
// driver-wide options, the built-in default profile and the user's profiles,
// with their storage, the most recently used profile, import and export.
#pragma once

#include <vector>

#include "lib/options/KVDriverOptions.h"
#include "lib/options/KVDriverOptionsProfile.h"
#include "lib/util/KVLibApi.h"
#include "lib/util/KVWinTypes.h"

using KVProfileArray = std::vector<KVDriverOptionsProfile*>;

class KVLIB_API KVDriverOptionsMgr {
public:
    // Loads everything from the store.
    KVDriverOptionsMgr();
    KVDriverOptionsMgr(const KVDriverOptionsMgr&) = delete;
    KVDriverOptionsMgr& operator=(const KVDriverOptionsMgr&) = delete;

    // The virtual operations are part of the binary interface: keep their order.
    // Deletes every object the manager owns; the store is left as it is.
    virtual ~KVDriverOptionsMgr();
    virtual KVDriverOptions* GetDefaultDriverOptions();
    virtual KVDriverOptionsProfile* GetDefaultExcelDriverOptions();
    // A new profile with default values at the end of the list; null for a
    // type other than the spreadsheet one. Nothing is stored yet.
    virtual KVDriverOptionsProfile* CreateNewDriverOption(KVFileParserTypes::enFileParserType type,
                                                          LPCTSTR name);
    virtual void LoadSettings();
    // Stores the whole list as one all-or-nothing change and records `mru`
    // (may be null) as the most recently used profile.
    virtual void SaveSettings(KVDriverOptionsProfile* mru);
    virtual void RemoveProfile(KVDriverOptionsProfile*& profile);
    virtual long GetExcelProfileCount() const;
    virtual KVDriverOptionsProfile* GetExcelProfile(LPCTSTR name);
    virtual KVDriverOptionsProfile* GetExcelProfile(long index);
    virtual KVDriverOptionsProfile* GetMRUProfile();
    // The profiles read from `path`; they stay owned by the manager and are
    // disposed of at the next load or save.
    virtual const KVProfileArray& ImportProfiles(LPCTSTR path);
    // Why the last import gave no profiles; empty when it gave some.
    const std::wstring& GetImportError() const { return m_strImportError; }
    virtual bool ExportProfiles(const KVProfileArray* profiles, LPCTSTR path);
    virtual const KVProfileArray& GetExcelProfileArray() const;
    virtual bool DoesProfileExist(LPCTSTR name) const;

    // A name for keeping a profile called `name` beside the others (an
    // imported one whose name is the built-in profile's, which cannot be
    // replaced): the first of "NAME (2)", "NAME (3)" ... that no stored
    // profile, the built-in one nor a profile of the last import has.
    CString GetFreeProfileName(LPCTSTR name) const;

protected:
    virtual void SetMRUProfile(KVDriverOptionsProfile* profile);
    virtual long GetNextProfileIndex(KVFileParserTypes::enFileParserType type);

private:
    void DisposeDiscardList();
    // Renames each profile of the list whose name the built-in profile or an
    // earlier profile already has, so that every stored profile can be told
    // apart by its name.
    void GiveEveryProfileItsOwnName();

    KVDriverOptions* m_pDefaultOptions = nullptr;
    KVDriverOptionsProfile* m_pDefaultProfile = nullptr;
    KVProfileArray m_arrProfiles;
    KVProfileArray m_arrDiscard;
    KVProfileArray m_arrImport;
    std::wstring m_strImportError;
};
