// Export control of the shared library: the library is built with hidden
// visibility, so its interface is exactly what its headers mark KVLIB_API.
#pragma once

#define KVLIB_API __attribute__((visibility("default")))
