// Text listing of SWF tags for the dumper.
#pragma once

#include <ostream>
#include <string>

#include "SWFObjects.h"

namespace anivert {

// Writes the decoded fields of a tag, one or more lines each starting with
// Indent; writes nothing for tags without fields.
void DumpTagFields(std::ostream& Out, const TSWFObject& Tag, const std::string& Indent);

}  // namespace anivert
