// The profile of the running job. The entry logic sets it just before
// processing; the processor borrows it. The options manager owns the object.
//
// A global by design: the system's own layout hands the active profile from
// the application to its processors through this one variable, and the rest
// of the parser is written against it. It is kept as designed, not replaced
// by a parameter.
#pragma once

class KVDriverOptions;

extern KVDriverOptions* g_pActiveProfile;
