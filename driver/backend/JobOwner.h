// The user a job belongs to, the job folder kept for that user, and the
// switch from the scheduler's root to that user before the job is read.
#pragma once

#include <sys/types.h>

#include <string>

namespace sw::driver {

struct JobOwner {
    std::string name;
    uid_t uid = 0;
    gid_t gid = 0;
};

// The account of the job's user; false with a reason when there is none.
bool FindOwner(const std::string& user, JobOwner& owner, std::string* error);

// SPOOL/NAME: made when missing (SPOOL itself owned by root, mode 0755 when
// we make it), owned by the user, mode 0700. A folder owned by anyone else,
// or a link, is refused. As root the folder is made and given to the user;
// otherwise only our own user's folder can be made.
bool EnsureJobFolder(const std::string& spool, const JobOwner& owner, std::string* folder,
                     std::string* error);

// As root: becomes the owner for good (groups, group, user). Otherwise
// succeeds only when we already are the owner.
bool BecomeOwner(const JobOwner& owner, std::string* error);

}  // namespace sw::driver
