// The profile of the running job. The entry logic sets it just before
// processing; the processor borrows it. The options manager owns the object.
#pragma once

class KVDriverOptions;

extern KVDriverOptions* g_pActiveProfile;
