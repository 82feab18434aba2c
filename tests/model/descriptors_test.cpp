#include <gtest/gtest.h>

#include "model/descriptors.h"

namespace tunalyx {
namespace {

// What the descriptors mean is checked through the controls and transfers that use them; these
// are the texts they must refuse.
TEST(Descriptors, MalformedDescriptorsAreRejected) {
    // Five or seven fields, scale 0, block outside 0..255, position 0, a field that is not a
    // number (a locale comma splits one in two).
    for (const char* tag :
         {"", "&HCB,99,1,0.390625,50", "&HCB,99,1,0.390625,50,0.0,x", "&HCB,99,1,0,50,0.0",
          "&H100,99,1,1,0,0", "-1,99,1,1,0,0", "&HCB,0,1,1,0,0", "&HCB,99,1,0,390625,50,0.0",
          "&HCB,x,1,1,0,0", "&HCB,99,1.5,1,0,0", "&HCB,99,1,1,,0"})
        EXPECT_FALSE(parseParamDescriptor(tag)) << tag;
    EXPECT_FALSE(parseCheckDescriptor("&HAC,1,255,0"));
    EXPECT_FALSE(parseBitDescriptor("&HAD,0,128"));
    EXPECT_FALSE(parseOptionDescriptor("&H5A,1,4,seven"));
    EXPECT_FALSE(parseLabelDescriptor("&HF3,1,-1"));
    for (const char* tag : {"", "&HAB", "&HAB,11,&HD5", "&HAB,256", "&H100,1", "&HAB,-1", "AB,11"})
        EXPECT_FALSE(parseBlockDescriptor(tag)) << tag;
}

}  // namespace
}  // namespace tunalyx
