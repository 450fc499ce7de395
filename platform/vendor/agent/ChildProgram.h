// Starting the program a job needs in the user's session: its own session
// and process group (so it outlives the agent's terminal), a clean signal
// state, standard input from /dev/null, and its standard output and error
// on pipes the agent reads.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace sw::agent {

struct ChildProgram {
    pid_t pid = -1;
    int out = -1;  // the program's standard output, for reading
    int err = -1;  // its standard error
};

// The program a name stands for: a path as it is; a bare name beside the
// agent first, then on `path` (a PATH value). Empty when there is none.
std::string FindProgram(const std::string& name, const std::string& path);

// False, with the reason in `error`, when the program cannot be started.
bool StartChildProgram(const std::string& program, const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment, ChildProgram* child, std::string* error);

}  // namespace sw::agent
