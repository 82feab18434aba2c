#include "session/edit_history.h"

#include <gtest/gtest.h>

#include "curves/curve_edit.h"
#include "maps/table_tools.h"

namespace tunalyx {
namespace {

class EditHistoryTest : public ::testing::Test {
protected:
    EditHistoryTest() { maps.GridInit(); }

    void edit(int row, int col, std::int32_t raw, const std::string& label = "Edit") {
        history.begin();
        maps.GridSetRange(kIgnMap, {row, col, row, col}, raw);
        history.commit(label);
    }
    // What a successful Update leaves: the unit has the cells, nothing is marked.
    void updateSent() {
        for (int row = 1; row <= kMapRows; ++row)
            for (int col = 1; col <= kMapCols; ++col)
                maps.setCellChanged(kIgnMap, row, col, false);
        dirty.clearAll();
    }
    std::uint8_t ignBlock() const { return cellAddress(maps.descriptor(kIgnMap), 1, 1).block; }

    PacketImage image;
    PacketDirty dirty;
    MapLayout layout;
    CellFlags changed;
    MapGrids maps{image, dirty, layout, changed};
    SettingsCodec codec{image, dirty};
    EditHistory history{image, dirty, maps};
};

TEST_F(EditHistoryTest, UndoPutsBackBytesAndFlagsAndRedoGoesWithANewEdit) {
    edit(1, 1, 10, "Set Ign Map P01 N01");
    const PacketImage afterFirst = image;
    history.begin();
    interpolateCells(maps, kIgnMap, {1, 1, 1, 5}, InterpolateMode::Rows);  // 10 .. 0
    history.commit("Interpolate Ign Map P01 N01-N05");
    EXPECT_EQ(history.undoText(), "Undo Interpolate Ign Map P01 N01-N05");

    ASSERT_TRUE(history.undo());
    EXPECT_EQ(image, afterFirst);
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 1);
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(maps.GridData(kIgnMap, 1, 1), 0);
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 0);
    EXPECT_FALSE(dirty.any());
    EXPECT_FALSE(history.canUndo());

    ASSERT_TRUE(history.redo());
    EXPECT_EQ(image, afterFirst);
    EXPECT_TRUE(maps.CellChanged(kIgnMap, 1, 1));
    EXPECT_EQ(history.redoText(), "Redo Interpolate Ign Map P01 N01-N05");
    edit(2, 2, 5);  // a new edit drops what could be redone
    EXPECT_FALSE(history.canRedo());

    // An action that changes nothing is no step.
    history.begin();
    EXPECT_FALSE(history.commit("Nothing"));
}

// Map cells, curves and settings alike: an edit the unit has been sent since is marked to go
// again once undone; one it never had is unmarked.
TEST_F(EditHistoryTest, UndoMarksWhatTheUnitWasSentAndRestoresWhatItWasNot) {
    const Bytes curve{30, 0x10, 0x00, 20, 0x20, 0x00, 10, 0x30, 0x00};
    image[0x94] = curve;
    image[0xCB].assign(107, 128);
    edit(3, 3, 7);
    CurveEdit editor;  // a curve confirmed in the editor
    ASSERT_TRUE(editor.DisplayCurve("3;&H94,7,-3,1,1,0,0;&H94,8,-3,2,1,0,0", image, false));
    editor.dropPoint(2, 40, 2);
    history.begin();
    editor.writeBack(codec);
    history.commit("Edit Curve");
    updateSent();  // the unit holds 7 at P03 N03 and the new curve
    history.begin();
    codec.UpdateData("&HCB,99,1,0.390625,50,0.0", "60");  // its Update is refused
    history.commit("Edit Settings 1");

    ASSERT_TRUE(history.undo());
    EXPECT_EQ(image[0xCB], Bytes(107, 128));
    EXPECT_FALSE(dirty.isSet(0xCB));  // the unit never had it
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(image[0x94], curve);
    EXPECT_TRUE(dirty.isSet(0x94));
    EXPECT_FALSE(dirty.isSet(ignBlock()));
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(maps.GridData(kIgnMap, 3, 3), 0);
    // The unit still holds 7: exactly that cell is to be sent again.
    EXPECT_TRUE(maps.CellChanged(kIgnMap, 3, 3));
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 1);
    EXPECT_TRUE(dirty.isSet(ignBlock()));
}

TEST_F(EditHistoryTest, TheLimitLetsTheOldestStepsGo) {
    for (int i = 1; i <= static_cast<int>(EditHistory::kLimit) + 1; ++i)
        edit(1, 1, i, "Edit " + std::to_string(i));
    EXPECT_EQ(history.undoText(), "Undo Edit 201");
    std::size_t undone = 0;
    while (history.undo())
        ++undone;
    EXPECT_EQ(undone, EditHistory::kLimit);
    EXPECT_EQ(maps.GridData(kIgnMap, 1, 1), 1);  // the first edit is past taking back
}

TEST_F(EditHistoryTest, BlocksReplacedSinceEndTheHistory) {
    edit(1, 1, 10);
    image[ignBlock()].assign(100, 3);  // read again from the unit
    EXPECT_FALSE(history.undo());
    EXPECT_EQ(maps.GridData(kIgnMap, 1, 1), 3);
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.canRedo());
}

}  // namespace
}  // namespace tunalyx
