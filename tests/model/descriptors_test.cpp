#include <gtest/gtest.h>

#include "model/descriptors.h"

namespace tunalyx {
namespace {

TEST(Descriptors, SplitKeepsEveryField) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(splitFields(""), V{""});
    EXPECT_EQ(splitFields("&HAC,1,255"), (V{"&HAC", "1", "255"}));
    EXPECT_EQ(splitFields("a,,b,"), (V{"a", "", "b", ""}));
    EXPECT_EQ(splitFields("a;b", ';'), (V{"a", "b"}));
}

TEST(Descriptors, NumericDescriptorFields) {
    const auto d = parseParamDescriptor("&HCB,99,1,0.390625,50,0.0");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->block, 0xCB);
    EXPECT_EQ(d->pos, 99);
    EXPECT_EQ(d->type, kTypeUnsigned8);
    EXPECT_EQ(d->scale, 0.390625);
    EXPECT_EQ(d->offset, 50);
    EXPECT_EQ(d->format, "0.0");

    const auto spaced = parseParamDescriptor("&HAD,3,1, 0.00390625,0.5,0.00");
    ASSERT_TRUE(spaced);
    EXPECT_EQ(spaced->scale, 0.00390625);
    EXPECT_EQ(spaced->offset, 0.5);

    const auto word = parseParamDescriptor("&h8d,19,2,0.004,-131.072,0.00");
    ASSERT_TRUE(word);
    EXPECT_EQ(word->block, 0x8D);
    EXPECT_EQ(word->offset, -131.072);

    const auto general = parseParamDescriptor("203,1,129,-1,0,");
    ASSERT_TRUE(general);
    EXPECT_EQ(general->block, 203);
    EXPECT_EQ(general->format, "");
}

TEST(Descriptors, MalformedNumericDescriptorsAreRejected) {
    for (const char* tag : {
             "",
             "&HCB,99,1,0.390625,50",        // five fields
             "&HCB,99,1,0.390625,50,0.0,x",  // seven
             "&HCB,99,1,0,50,0.0",           // scale 0
             "&H100,99,1,1,0,0",             // block above 255
             "-1,99,1,1,0,0",                // block below 0
             "&HCB,0,1,1,0,0",               // positions are 1-based
             "&HCB,99,1,0;39,50,0.0",        // scale not a number
             "&HCB,99,1,0,390625,50,0.0",    // a locale comma splits the field
             "&HCB,x,1,1,0,0",
             "&HCB,99,1.5,1,0,0",
             "&HCB,99,1,1,,0",
         })
        EXPECT_FALSE(parseParamDescriptor(tag)) << tag;
}

TEST(Descriptors, ControlDescriptors) {
    const auto option = parseOptionDescriptor("&H5A,1,4,7");
    ASSERT_TRUE(option);
    EXPECT_EQ(option->block, 0x5A);
    EXPECT_EQ(option->pos, 1);
    EXPECT_EQ(option->value, 4);
    EXPECT_EQ(option->mask, 7);
    EXPECT_EQ(parseCheckDescriptor("&HAC,1,255")->value, 255);
    EXPECT_EQ(parseBitDescriptor("&HAD,1,128")->mask, 128);
    EXPECT_EQ(parseLabelDescriptor("&HF3,1,8")->length, 8);

    EXPECT_FALSE(parseCheckDescriptor("&HAC,1"));
    EXPECT_FALSE(parseCheckDescriptor("&HAC,1,255,0"));
    EXPECT_FALSE(parseBitDescriptor("&HAD,0,128"));
    EXPECT_FALSE(parseBitDescriptor("&HAD,1,&H"));
    EXPECT_FALSE(parseOptionDescriptor("&H5A,1,4"));
    EXPECT_FALSE(parseOptionDescriptor("&H5A,1,4,seven"));
    EXPECT_FALSE(parseLabelDescriptor("&HF3,1,-1"));
}

TEST(Descriptors, FrameBlockLists) {
    struct Case {
        const char* tag;
        BlockList blocks;
    };
    for (const Case& c : {
             Case{"&HAB,11,&HD5,13", {{0xAB, 11}, {0xD5, 13}}},
             Case{"&HCB,107", {{0xCB, 107}}},
             Case{"&HBC,20,&HBD,1", {{0xBC, 20}, {0xBD, 1}}},
             Case{"&HF3,8,&HF5,5", {{0xF3, 8}, {0xF5, 5}}},
             Case{"171,0", {{171, 0}}},
         }) {
        const auto d = parseBlockDescriptor(c.tag);
        ASSERT_TRUE(d) << c.tag;
        EXPECT_EQ(d->blocks, c.blocks) << c.tag;
    }
    for (const char* tag : {"", "&HAB", "&HAB,11,&HD5", "&HAB,256", "&H100,1", "&HAB,-1", "AB,11"})
        EXPECT_FALSE(parseBlockDescriptor(tag)) << tag;
}

}  // namespace
}  // namespace tunalyx
