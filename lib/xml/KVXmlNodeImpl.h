// Internal: the document model behind the opaque KVXmlNode handles, and the
// conversions between element text and the fields of the records.
#pragma once

#include <tinyxml.h>

#include <string>

#include "lib/xml/KVXmlNode.h"

namespace kvlib::xml {

inline TiXmlNode* Node(KVXmlNode* node) {
    return reinterpret_cast<TiXmlNode*>(node);
}

inline KVXmlNode* Handle(TiXmlNode* node) {
    return reinterpret_cast<KVXmlNode*>(node);
}

// Appends <name>text</name> to `parent`; the text node is written even when
// the text is empty.
void AppendTextElement(TiXmlNode* parent, const char* name, const std::string& text);
// Wide text as element text: the locale's narrow encoding, at most 1023 bytes,
// never cutting a character in two.
void AppendWideElement(TiXmlNode* parent, const char* name, const wchar_t* text);
void AppendLongElement(TiXmlNode* parent, const char* name, long value);
// "1" exactly for 1, "0" for anything else.
void AppendFlagElement(TiXmlNode* parent, const char* name, long value);
TiXmlElement* AppendElement(TiXmlNode* parent, const char* name);

}  // namespace kvlib::xml
