#include "session/edit_history.h"

#include <gtest/gtest.h>

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

TEST_F(EditHistoryTest, UndoMarksWhatTheUnitWasSentAndRestoresWhatItWasNot) {
    edit(3, 3, 7);
    updateSent();   // the unit holds 7 at P03 N03
    edit(4, 4, 9);  // its Update is refused: P04 N04 stays marked
    ASSERT_TRUE(history.undo());
    EXPECT_FALSE(maps.CellChanged(kIgnMap, 4, 4));  // the unit never had it
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 0);
    EXPECT_FALSE(dirty.isSet(ignBlock()));
    ASSERT_TRUE(history.undo());
    EXPECT_EQ(maps.GridData(kIgnMap, 3, 3), 0);
    // The unit still holds 7: exactly that cell is to be sent again.
    EXPECT_TRUE(maps.CellChanged(kIgnMap, 3, 3));
    EXPECT_EQ(maps.changedCellCount(kIgnMap), 1);
    EXPECT_TRUE(dirty.isSet(ignBlock()));
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
