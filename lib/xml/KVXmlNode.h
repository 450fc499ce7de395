// Opaque handle to a node of the XML document model. The model itself stays
// inside the library, so callers of the XML classes never see its headers.
#pragma once

struct KVXmlNode;
