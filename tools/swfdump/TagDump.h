// Text listing of SWF tags for the dumper.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "SWFObjects.h"

namespace anivert {

// Writes the decoded fields of a tag, one or more lines each starting with
// Indent; writes nothing for tags without fields. Version is the movie's,
// which the tags inside a sprite are read with.
void DumpTagFields(std::ostream& Out, const TSWFObject& Tag, const std::string& Indent, std::uint8_t Version = 6);

// The line that introduces a tag: offset, name, code, length.
std::string TagLine(std::int64_t Offset, std::uint16_t TagID, std::uint32_t BodySize, bool LongHeader);

}  // namespace anivert
