// Helpers of the SWF tests: a tag as written, its body, byte strings.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "SWFObjects.h"
#include "TestUtil.h"

namespace anivert::test {

// Everything an object writes, tag headers included.
Bytes WriteTag(TBasedSWFObject& Obj);
// The body of the one tag an object writes; the header's length is checked.
Bytes Body(TBasedSWFObject& Obj);
// The same, with the tag code checked too.
Bytes BodyOf(TBasedSWFObject& Obj, std::uint16_t ExpectTag);

Bytes Cat(std::initializer_list<Bytes> Parts);
// The bytes of a string, without (Str) and with (Text) its terminating zero.
Bytes Str(const std::string& S);
Bytes Text(const std::string& S);

}  // namespace anivert::test
