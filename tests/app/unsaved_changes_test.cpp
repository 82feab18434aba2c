#include <gtest/gtest.h>

#include "app/unsaved_changes.h"
#include "session/tune_document.h"
#include "transfer/tune_edits.h"

namespace tunalyx {
namespace {

constexpr std::uint8_t kRevIdle = 0x8B;  // "Rev Limit" and the idle speeds, two-byte words
constexpr std::uint8_t kBoost = 0xAB;    // "Use Boost n" options share byte 3, mask 3
constexpr std::uint8_t kNoControl = 0x01;

// A tune as it came from the unit: maps and two settings blocks, nothing flagged.
struct Fixture {
    Fixture() {
        doc.maps.GridInit();
        doc.image[kRevIdle] = Bytes(100, 0);
        doc.image[kBoost] = Bytes(100, 0);
        doc.image[kNoControl] = Bytes(8, 0);
        changes.settle(doc);
    }
    [[nodiscard]] WaitingChanges waiting() const { return changes.waiting(doc); }
    // As an Update does: the flags go, what was sent is what the unit holds.
    void written() {
        doc.dirty.clearAll();
        for (int g = 0; g < kMapGridCount; ++g)
            doc.maps.clearCellChanged(g);
        changes.settle(doc);
    }
    [[nodiscard]] std::string optionTag(int value) const {
        return "&HAB,3," + std::to_string(value) + ",3";
    }

    TuneDocument doc;
    UnsavedChanges changes;
};

TEST(UnsavedChanges, EditsWaitUntilWrittenOrSavedAndAnEditTakenBackWaitsNoMore) {
    Fixture f;
    EXPECT_FALSE(f.waiting().any());
    f.doc.maps.GridSetData(kInjMap, 1, 1, 130);
    f.doc.maps.GridSetData(kInjMap, 20, 20, 131);
    f.doc.maps.GridSetData(kIgnMap, 5, 3, 40);
    ASSERT_TRUE(f.doc.codec.UpdateData("&H8B,1,2,1,0,0", "7000"));
    EXPECT_EQ(f.waiting(), (WaitingChanges{3, 1}));

    // Put back by hand: the block stays flagged, but nothing of it would be lost.
    f.doc.maps.GridSetData(kIgnMap, 5, 3, 0);
    EXPECT_EQ(f.waiting(), (WaitingChanges{2, 1}));

    f.changes.saved(f.doc);
    EXPECT_FALSE(f.waiting().any());
    // Saving leaves the flags: an edit after it is the only one waiting.
    f.doc.maps.GridSetData(kInjMap, 2, 1, 90);
    EXPECT_EQ(f.waiting(), (WaitingChanges{1, 0}));

    f.written();
    EXPECT_FALSE(f.waiting().any());
    // The unit holds the rest of the map now; an edit of another cell of its block is one cell.
    f.doc.maps.GridSetData(kInjMap, 3, 1, 91);
    EXPECT_EQ(f.waiting(), (WaitingChanges{1, 0}));
}

TEST(UnsavedChanges, AWriteThatFailedKeepsItsBlockWaiting) {
    Fixture f;
    f.doc.maps.GridSetData(kIgnMap, 1, 1, 12);
    ASSERT_TRUE(f.doc.codec.UpdateData("&H8B,1,2,1,0,0", "6500"));
    // The map went, the settings block was refused and stays flagged.
    for (std::uint8_t b : f.doc.mapLayout.mapBlocks(kIgnMap))
        f.doc.dirty.clear(b);
    f.changes.settle(f.doc);
    EXPECT_EQ(f.waiting(), (WaitingChanges{0, 1}));
}

TEST(UnsavedChanges, ARestoredTuneWaitsWhereItDiffersFromTheUnit) {
    Fixture f;
    Tune kept = f.doc.tune();
    kept.image[kRevIdle][0] = 0x58;
    kept.image[kRevIdle][1] = 0x1B;
    const MapDescriptor& ign = f.doc.mapLayout.descriptor(kIgnMap);
    for (int row : {1, 2}) {
        const CellAddress cell = cellAddress(ign, row, 4);
        kept.image[cell.block][static_cast<std::size_t>(cell.byte - 1)] = 30;
    }
    applyEdits(f.doc, kept);
    EXPECT_EQ(f.waiting(), (WaitingChanges{2, 1}));
}

TEST(UnsavedChanges, OptionsOfOneValueAndBytesNoControlShowsCountOnce) {
    Fixture f;
    // Choosing another option changes the state of two buttons: still one setting.
    ASSERT_TRUE(f.doc.codec.SetSettingOption(f.optionTag(2)));
    EXPECT_EQ(f.waiting(), (WaitingChanges{0, 1}));
    f.doc.image[kNoControl][0] = 1;
    f.doc.image[kNoControl][5] = 1;
    f.doc.dirty.set(kNoControl);
    EXPECT_EQ(f.waiting(), (WaitingChanges{0, 2}));
}

TEST(UnsavedChanges, TheQuestionNamesWhatWaits) {
    EXPECT_EQ(waitingChangesText({1, 1}),
              "1 map cell and 1 setting have been neither sent to the unit nor saved.");
    EXPECT_EQ(waitingChangesText({0, 1}), "1 setting has been neither sent to the unit nor saved.");
}

}  // namespace
}  // namespace tunalyx
