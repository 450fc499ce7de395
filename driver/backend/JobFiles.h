// The two files of a finished job in the owner's job folder: the printer
// text file NAME.txt and the group file NAME.grp that names it. Both are
// written under temporary names and renamed into place, the group file
// last, so a reader never finds half a job.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace sw::driver {

struct GroupFileFields {
    int jobId = 0;
    std::string printer;   // the printer's name
    std::string document;  // the job's document name
    std::string user;
    int pages = 0;
};

struct JobFilePaths {
    std::string groupFile;
    std::string textFile;
};

// Writes both files: `writeText` fills the printer text file. The base name
// is "jobID", or "jobID-2", "jobID-3"... when that is taken. False with a
// reason, and nothing left behind, when either cannot be written.
bool WriteJobFiles(const std::string& folder, const GroupFileFields& fields,
                   const std::function<bool(std::ostream&)>& writeText, JobFilePaths& paths,
                   std::string* error);

}  // namespace sw::driver
