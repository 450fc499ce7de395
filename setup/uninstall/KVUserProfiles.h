// The machine's user profiles, as the uninstall walks them: every account
// whose home folder holds a settings store or CUPS options of its own. The
// accounts come from /etc/passwd, or from $SHEETWISE_PASSWD (a file in the
// same format) when set.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

struct KVUserProfile {
    std::wstring strName;
    std::wstring strProfileImagePath;  // the home folder
    uid_t uid = 0;
    gid_t gid = 0;
};

std::vector<KVUserProfile> EnumerateUserProfiles();

// The user's settings store file and CUPS options file under a profile path.
std::wstring SettingsStoreOf(const std::wstring& profilePath);
std::wstring CupsOptionsOf(const std::wstring& profilePath);

// Runs `work` in a child process with the user's identity, so nothing done
// in the user's folders can reach further than the user could (a link to a
// file of someone else's stays unwritable) and every file keeps its owner.
// Runs it in this process when it already is that user. False when the
// identity cannot be taken or the work failed.
bool RunAsUser(const KVUserProfile& profile, const std::function<bool()>& work);

// Removes the lines of a CUPS options file ("Dest" and "Default" lines)
// that name the queue or one of its instances; other lines stay as they
// are. A missing file is fine. False when the file could not be rewritten.
bool RemoveQueueFromCupsOptions(const std::string& path, const std::string& queue);
