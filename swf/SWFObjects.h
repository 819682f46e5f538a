// The SWF tag encoder: bit writer and primitive records, tag framing,
// control, display-list, bitmap and shape tags, action records, button tags,
// clip actions, sound and video tags and the tag factory used by readers.
#pragma once

#include <memory>

#include "SWFActions.h"
#include "SWFBitmaps.h"
#include "SWFBits.h"
#include "SWFButtons.h"
#include "SWFClipActions.h"
#include "SWFConst.h"
#include "SWFShapes.h"
#include "SWFSounds.h"
#include "SWFTags.h"

namespace anivert {

// A new, empty tag object for a tag code this library knows, or null.
std::unique_ptr<TSWFObject> GenerateSWFObject(std::uint16_t TagID);

}  // namespace anivert
