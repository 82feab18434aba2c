#include "transfer/transfer_operations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "link/packet_link.h"
#include "sim/default_blocks.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "support/recording_view.h"
#include "versions/version_identification.h"

namespace tunalyx {
namespace {

using Texts = std::vector<std::string>;

class TransferTest : public ::testing::Test {
protected:
    // Each test starts with the session in step with the unit.
    void SetUp() override {
        use(SimUnitKind::Det1_501);
        readAll();
    }

    void use(SimUnitKind kind, LineFaults faults = {}) {
        ops.reset();
        session.reset();
        view.calls.clear();
        prompts = std::make_unique<test::RecordingPrompts>();
        sim = std::make_unique<InProcessSimulator>(kind, clock, std::move(faults));
        ASSERT_TRUE(sim->port().open());
        session = std::make_unique<Session>(sim->port(), clock, *prompts);
        session->maps.GridInit();
        session->setView(&view);
        ops = std::make_unique<TransferOperations>(*session);
    }
    // Read All, which clears every flag, then the logs emptied.
    void readAll() {
        session->dirty.set(0x8B);
        ASSERT_TRUE(ops->cmdReadAll_Click());
        ASSERT_EQ(prompts->texts(), Texts{});
        ASSERT_FALSE(session->dirty.any());
        sim->ecu().clearRequestLog();
        view.calls.clear();
    }
    // An edit of one byte (0-based) the way the settings controls make it.
    void touch(std::uint8_t block, std::size_t index) {
        session->image[block].at(index) ^= 0xA5;
        session->dirty.set(block);
    }
    std::vector<Bytes> requestsTo(std::uint8_t command) const {
        std::vector<Bytes> out;
        std::ranges::copy_if(sim->ecu().requests(), std::back_inserter(out),
                             [&](const Bytes& r) { return r.at(0) == command; });
        return out;
    }
    // The bare reads after the last write of the command just run: its read-backs.
    std::vector<std::uint8_t> readBacks() const {
        const std::vector<Bytes>& r = sim->ecu().requests();
        const auto lastWrite =
            std::find_if(r.rbegin(), r.rend(), [](const Bytes& b) { return b.size() > 1; });
        std::vector<std::uint8_t> out;
        for (auto it = lastWrite.base(); it != r.end(); ++it)
            out.push_back(it->at(0));
        return out;
    }
    std::vector<std::uint8_t> blockWrites() const {
        std::vector<std::uint8_t> out;
        for (const Bytes& r : sim->ecu().requests())
            if (r.size() > 1) out.push_back(r[0]);
        return out;
    }
    const BlockStore& unit() const { return sim->ecu().blocks(); }
    void expectMapInStep(int map) {
        EXPECT_EQ(session->maps.changedCellCount(map), 0);
        for (std::uint8_t b : session->maps.mapBlocks(map)) {
            EXPECT_EQ(session->image[b], unit()[b]) << int(b);
            EXPECT_FALSE(session->dirty.isSet(b)) << int(b);
        }
    }
    // Changes n cells of the injection map, row by row from the top left.
    void changeInjCells(int n) {
        for (int i = 0; i < n; ++i) {
            const int row = i / kMapCols + 1, col = i % kMapCols + 1;
            const auto v = session->maps.GridData(kInjMap, row, col);
            ASSERT_TRUE(session->maps.GridSetData(kInjMap, row, col, (v + 1) % 256));
        }
    }

    ManualClock clock;
    std::unique_ptr<test::RecordingPrompts> prompts;
    test::RecordingView view;
    std::unique_ptr<InProcessSimulator> sim;
    std::unique_ptr<Session> session;
    std::unique_ptr<TransferOperations> ops;
};

TEST_F(TransferTest, ReadAllFailingOnItsLastBlockLeavesTheImageAsItWas) {
    // The clean run of SetUp tells which request reads the last block; the unit now ignores it
    // and its three retries.
    ASSERT_EQ(session->layout.readAllList.back().command, 0xF5);
    for (const ListedBlock& b : session->layout.readAllList)
        ASSERT_EQ(session->image[b.command], unit()[b.command]) << int(b.command);
    // The first Read All also names the sensors and switches after the unit's own names.
    EXPECT_EQ(session->trace.TraceName[30], textFromBytes(unit()[0xDD], 0, 4));
    EXPECT_EQ(session->monitorCaptions.switchCaptions[0], textFromBytes(unit()[0xDD], 32, 3));
    const std::uint64_t last = sim->line().requestCount();
    const PacketImage unitImage = session->image;
    LineFaults faults;
    faults.dropReplyTo = {last, last + 1, last + 2, last + 3};
    use(SimUnitKind::Det1_501, faults);
    session->image = unitImage;
    touch(0x8B, 2);
    session->image[0x10] = {1, 2, 3};
    const PacketImage before = session->image;
    EXPECT_FALSE(ops->cmdReadAll_Click());
    EXPECT_EQ(prompts->texts(), (Texts{kInterfaceNotResponding, "Read All Error F5"}));
    EXPECT_EQ(session->image, before);
    EXPECT_TRUE(session->dirty.isSet(0x8B));
    EXPECT_EQ(view.calls.front(), "cmdReadAll off");
    EXPECT_EQ(view.calls.back(), "cmdReadAll on");
    EXPECT_FALSE(view.saw("Update off"));
    EXPECT_FALSE(session->PortBusy);
}

TEST_F(TransferTest, ARefusedMapBlockGoesOutCellByCell) {
    sim->ecu().refuseWrites(0x87);
    // Cell 123 (row 4, column 7) lies in byte 24 of the second injection block.
    ASSERT_TRUE(session->maps.GridSetData(kInjMap, 4, 7, 0x99));
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_EQ(requestsTo(0x85), (std::vector<Bytes>{{0x85, 123, 0, 0x99}}));
    EXPECT_EQ(unit()[0x87][23], 0x99);
    expectMapInStep(kInjMap);
    EXPECT_TRUE(prompts->texts().empty());

    // Write Map sends every cell, changed or not.
    sim->ecu().clearRequestLog();
    changeInjCells(3);
    EXPECT_TRUE(ops->cmdWriteMap_Click(kInjMap));
    EXPECT_EQ(requestsTo(0x85).size(), 400u);
    EXPECT_EQ(prompts->progressShown(), Texts{"Writing Inj Map"});
    EXPECT_EQ(prompts->percents().size(), 20u);
    expectMapInStep(kInjMap);
    EXPECT_TRUE(view.saw("RefreshUpdateEnabled"));
}

TEST_F(TransferTest, ARefusedBaseMapBlockGoesOutInTwoByteCells) {
    use(SimUnitKind::T2D_511A);
    readAll();
    sim->ecu().refuseWrites(0xB1);
    // Cell 60 (row 1, column 4) is bytes 21..22 of the second block of the base map.
    ASSERT_TRUE(session->maps.GridSetData(kBaseMap, 1, 4, 0x1234));
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_EQ(requestsTo(0xAF), (std::vector<Bytes>{{0xAF, 60, 0, 0x34, 0x12}}));
    EXPECT_EQ(unit()[0xB1][20], 0x34);
    EXPECT_EQ(unit()[0xB1][21], 0x12);
    expectMapInStep(kBaseMap);
}

TEST_F(TransferTest, UpdateShowsProgressForMoreThanTwentyCells) {
    for (const int cells : {20, 21}) {
        SCOPED_TRACE(cells);
        use(SimUnitKind::Det1_501);
        readAll();
        sim->ecu().refuseWrites(0x86);
        changeInjCells(cells);
        ops->cmdUpdate_Click();
        EXPECT_EQ(requestsTo(0x85).size(), static_cast<std::size_t>(cells));
        expectMapInStep(kInjMap);
        if (cells > 20) {
            EXPECT_EQ(prompts->progressShown(), Texts{"Updating Inj Map"});
            ASSERT_EQ(prompts->percents().size(), 400u);
            EXPECT_EQ(prompts->percents().front(), 0);
            EXPECT_EQ(prompts->percents()[20], 100 * 20 / 21);
            EXPECT_EQ(prompts->percents().back(), 100);
        } else {
            EXPECT_TRUE(prompts->progressShown().empty());
        }
        EXPECT_FALSE(prompts->progressVisible());
    }
    // A window that follows the command's progress has its own dialog: no second one.
    use(SimUnitKind::Det1_501);
    readAll();
    sim->ecu().refuseWrites(0x86);
    changeInjCells(40);
    ops->onProgress = [](std::size_t, std::size_t) {};
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_TRUE(ops->cmdWriteMap_Click(kInjMap));
    EXPECT_TRUE(prompts->progressShown().empty());
    expectMapInStep(kInjMap);
}

// Cancel takes effect before the next packet: what went out is named, what did not stays marked
// (the refused block's cells one by one, the block of the settings untouched).
TEST_F(TransferTest, UpdateStoppedBetweenPacketsKeepsWhatDidNotGoOut) {
    sim->ecu().refuseWrites(0x86);
    changeInjCells(30);
    touch(0x8B, 2);
    prompts->cancelAfterProgressSteps(5);
    EXPECT_FALSE(ops->cmdUpdate_Click());
    EXPECT_TRUE(ops->stopped());
    EXPECT_EQ(requestsTo(0x85).size(), 4u);
    EXPECT_EQ(session->maps.changedCellCount(kInjMap), 26);
    EXPECT_TRUE(session->dirty.isSet(0x86));
    EXPECT_TRUE(session->dirty.isSet(0x8B));
    EXPECT_TRUE(requestsTo(0x8B).empty());
    EXPECT_EQ(prompts->texts(),
              Texts{"Stopped: 0 of 5 blocks written. Not written, kept marked for Update: Inj Map "
                    "(in part) and 8B (Settings 1 > Rev / Idle)."});
    EXPECT_EQ(readBacks(), std::vector<std::uint8_t>{0x86});  // its four cells
    EXPECT_FALSE(prompts->progressVisible());
    EXPECT_FALSE(session->PortBusy);
    EXPECT_TRUE(view.saw("RefreshUpdateEnabled"));
}

// A stop asked for from outside (a signal, the window closing) ends Write All between two blocks;
// the unit's image is then the one written where it went, and read from the unit where not.
TEST_F(TransferTest, WriteAllStoppedFromOutsideLeavesTheUnitKnown) {
    const PacketImage before = session->image;
    touch(0x8A, 1);
    touch(0x93, 2);
    std::atomic<bool> stop = false;
    ops->stopWhen(stop);
    int packets = 0;
    ops->onProgress = [&](std::size_t, std::size_t) {
        if (++packets == 9) stop = true;  // the two maps and 8A
    };
    EXPECT_FALSE(ops->cmdWriteAll_Click());
    EXPECT_TRUE(ops->stopped());
    EXPECT_EQ(unit()[0x8A], session->image[0x8A]);
    EXPECT_TRUE(requestsTo(0x93).empty());
    EXPECT_FALSE(session->dirty.isSet(0x8A));
    EXPECT_TRUE(session->dirty.isSet(0x8B));
    EXPECT_TRUE(session->dirty.isSet(0x93));
    // What went out before the stop is read back all the same.
    EXPECT_EQ(readBacks(),
              (std::vector<std::uint8_t>{0x86, 0x87, 0x88, 0x89, 0x81, 0x82, 0x83, 0x84, 0x8A}));
    EXPECT_EQ(prompts->texts(),
              Texts{"Stopped: 9 of 42 blocks written. Not written, kept marked for Update: "
                    "Settings 1 (8 blocks), Settings 2 (8 blocks), CE (Settings 3 > Air Flow), "
                    "Settings 4 (6 blocks) and 10 other blocks."});

    const auto held = ops->unitImageAfterStop();
    ASSERT_TRUE(held);
    EXPECT_EQ((*held)[0x8A], session->image[0x8A]);
    EXPECT_EQ((*held)[0x93], before[0x93]);
    EXPECT_NE(session->image[0x93], before[0x93]);  // the edit stays in the window
}

// Data of another layout converted at identification go out in the unit's layout: what Write All
// sends is planned after the conversion, not before.
TEST_F(TransferTest, WriteAllSendsWhatIdentificationConverted) {
    use(SimUnitKind::Det2_312A);
    session->image.assign(defaultBlocks(simUnit(SimUnitKind::Det1_501)));
    ASSERT_TRUE(SR20DET_Version(*session, {.FromPFC = false, .CheckData = false}));
    ASSERT_EQ(session->layout.family, LayoutFamily::Family5);
    prompts->answerNext(MessageAnswer::Yes);
    EXPECT_TRUE(ops->cmdWriteAll_Click());
    ASSERT_EQ(session->layout.family, LayoutFamily::Family3);
    ASSERT_EQ(prompts->messages().size(), 1u);  // the question only
    EXPECT_EQ(prompts->messages()[0].buttons, MessageButtons::YesNo);
    const std::vector<std::uint8_t> writes = blockWrites();
    for (const ListedBlock& b : session->layout.writeAllList)
        EXPECT_NE(std::ranges::count(writes, b.command), 0) << hexText(b.command);
    EXPECT_EQ(std::ranges::count(writes, 0xD6), 0);  // family 5's function select block
    EXPECT_FALSE(session->dirty.any());
}

// Write All stopped between the blocks of a map, then an Update whose write of such a block is
// refused: every cell of the blocks that never went out goes cell by cell, none is lost.
TEST_F(TransferTest, UpdateFinishesAMapWriteAllStoppedInEvenCellByCell) {
    // A file opened over the unit's tune: bytes differ, no flag says so.
    session->image[0x88][10] += 2;
    session->image[0x89][99] += 2;
    std::atomic<bool> stop = false;
    ops->stopWhen(stop);
    ops->onProgress = [&](std::size_t done, std::size_t) {
        if (done == 2) stop = true;  // 86 and 87
    };
    EXPECT_FALSE(ops->cmdWriteAll_Click());
    ops->onProgress = nullptr;
    stop = false;
    ASSERT_TRUE(requestsTo(0x88).empty());

    sim->ecu().refuseWrites(0x88);
    sim->ecu().clearRequestLog();
    prompts->clear();
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_EQ(requestsTo(0x85).size(), 200u);  // 88 and 89, cell by cell
    expectMapInStep(kInjMap);
    expectMapInStep(kIgnMap);
    EXPECT_EQ(prompts->texts(), Texts{});
}

// Write All stops at the first refused block and says what went out and what did not. What it
// did not get to stays marked, changed or not, so that Update finishes the job and sends
// nothing twice.
TEST_F(TransferTest, WriteAllStopsAtARefusedBlockAndUpdateSendsTheRest) {
    touch(0x8B, 2);
    touch(0x93, 2);
    sim->ecu().refuseWrites(0x8F);
    EXPECT_FALSE(ops->cmdWriteAll_Click());
    const BlockList list = session->layout.writeAllList;
    std::string sent = "Inj Map, Ign Map", notSent;
    bool reached = false;
    for (const ListedBlock& b : list) {
        reached = reached || b.command == 0x8F;
        std::string& names = reached ? notSent : sent;
        names += (names.empty() ? "" : ", ") + hexText(b.command);
        EXPECT_EQ(session->dirty.isSet(b.command), reached) << hexText(b.command);
    }
    EXPECT_EQ(prompts->texts(),
              (Texts{"The unit refused block 8F (Settings 2 > Water Temp Correction).",
                     "Write All did not finish.\r\nSent: " + sent +
                         ".\r\nNot sent, kept marked as changed for Update: " + notSent + "."}));
    EXPECT_EQ(unit()[0x8B], session->image[0x8B]);
    EXPECT_TRUE(requestsTo(0x93).empty());
    EXPECT_TRUE(view.saw("RefreshUpdateEnabled"));

    sim->ecu().acceptWrites(0x8F);
    sim->ecu().clearRequestLog();
    prompts->clear();
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_TRUE(prompts->texts().empty());
    reached = false;
    for (const ListedBlock& b : list) {
        reached = reached || b.command == 0x8F;
        EXPECT_EQ(requestsTo(b.command).empty(), !reached) << hexText(b.command);
    }
    EXPECT_EQ(unit()[0x93], session->image[0x93]);
    EXPECT_FALSE(session->dirty.any());
}

// A map that Write All wrote only in part (stopped in its cell pass), and the one it never
// reached, are finished by Update: every cell the unit did not get is marked, changed by the
// user or not.
TEST_F(TransferTest, WriteAllStoppedInAMapLeavesTheMapsForUpdate) {
    sim->ecu().refuseWrites(0x86);
    prompts->cancelAfterProgressSteps(2);
    EXPECT_FALSE(ops->cmdWriteAll_Click());
    EXPECT_FALSE(prompts->progressVisible());
    EXPECT_TRUE(session->dirty.isSet(0x86));
    // Summed up by page, not block by block.
    EXPECT_EQ(prompts->texts(),
              Texts{"Stopped: 0 of 42 blocks written. Not written, kept marked for Update: Inj "
                    "Map (in part), Ign Map, Settings 1 (8 blocks), Settings 2 (8 blocks), "
                    "Settings 3 (2 blocks), Settings 4 (6 blocks) and 10 other blocks."});
    EXPECT_EQ(session->maps.changedCellCount(kInjMap), 400 - 20);
    EXPECT_EQ(session->maps.changedCellCount(kIgnMap), 400);

    sim->ecu().clearRequestLog();
    prompts->cancelAfterProgressSteps(-1);
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_EQ(requestsTo(0x85).size(), 380u);  // the Inj Map's missing cells, one by one
    EXPECT_EQ(requestsTo(0x80).size(), 0u);    // the Ign Map went out in blocks
    expectMapInStep(kInjMap);
    expectMapInStep(kIgnMap);
    EXPECT_FALSE(session->dirty.any());
}

TEST_F(TransferTest, FramePopupReadsBothBlocksButWritesOnlyTheFirst) {
    ASSERT_EQ(session->settings.find(ControlKind::Frame, 26)->tag, "&HAB,11,&HD5,13");
    sim->ecu().blocks()[0xAB][0] ^= 0xFF;
    sim->ecu().blocks()[0xD5][0] ^= 0xFF;
    session->dirty.set(0xAB);
    EXPECT_TRUE(ops->mnuRead_Click(26));
    EXPECT_EQ(session->image[0xAB], unit()[0xAB]);
    EXPECT_EQ(session->image[0xD5], unit()[0xD5]);
    EXPECT_TRUE(session->dirty.isSet(0xAB));  // reading does not touch the flags
    EXPECT_TRUE(view.saw("DisplayAllData"));

    touch(0xAB, 1);
    touch(0xD5, 1);
    EXPECT_TRUE(ops->mnuWrite_Click(26));
    EXPECT_EQ(unit()[0xAB], session->image[0xAB]);
    EXPECT_NE(unit()[0xD5], session->image[0xD5]);
    EXPECT_FALSE(session->dirty.isSet(0xAB));
    EXPECT_TRUE(session->dirty.isSet(0xD5));

    sim->ecu().refuseWrites(0xAB);
    touch(0xAB, 1);
    EXPECT_FALSE(ops->mnuWrite_Click(26));
    EXPECT_EQ(prompts->texts(), Texts{"The unit refused block AB (Settings 1 > Boost Control)."});
    EXPECT_TRUE(session->dirty.isSet(0xAB));
}

TEST_F(TransferTest, PrepareWriteOfTheBlocksWithNames) {
    struct Case {
        std::uint8_t block;
        bool refused, unitAlreadyHasIt;
        std::vector<Bytes> requests;  // command byte and data length of each request sent
        Texts messages;
    };
    for (const Case& c : {
             Case{0xCE, false, false, {{0xCE, 17}}, {}},
             Case{0xCE, true, true, {{0xCE, 17}, {0xCE, 0}}, {}},
             Case{0xCE,
                  true,
                  false,
                  {{0xCE, 17}, {0xCE, 0}, {0x33, 17}, {0xCE, 0}},
                  {"Airflow Write Error"}},
             Case{0xD6, false, false, {{0xD6, 5}}, {}},
             Case{0xD6,
                  true,
                  false,
                  {{0xD6, 5}, {0xD6, 0}, {0x4B, 5}, {0xD6, 0}},
                  {"Function Select Write Error"}},
             Case{0x8B, true, false, {}, {}},
         }) {
        SCOPED_TRACE(int(c.block));
        use(SimUnitKind::Det1_501);
        readAll();
        if (c.refused) sim->ecu().refuseWrites(c.block);
        if (!c.unitAlreadyHasIt) touch(c.block, session->image[c.block].size() - 1);
        const Bytes& slot = session->image[c.block];
        Bytes request(slot.size() + 1, c.block);
        std::copy(slot.begin(), slot.end(), request.begin() + 1);

        const Bytes prepared = ops->PrepareWrite(request);
        std::vector<Bytes> shape;
        for (const Bytes& r : sim->ecu().requests())
            shape.push_back({r[0], static_cast<std::uint8_t>(r.size() - 1)});
        EXPECT_EQ(shape, c.requests);
        EXPECT_EQ(prepared, c.block == 0x8B ? request : Bytes{c.block});
        EXPECT_EQ(prompts->texts(), c.messages);
    }
}

TEST_F(TransferTest, AirFlowFlagIsClearedEvenAfterItsWriteError) {
    ops->setVerifyWrites(false);  // a read-back would keep it marked
    sim->ecu().refuseWrites(0xCE);
    touch(0xCE, 100);
    // The flag goes, but the write did not take: Update did not complete.
    EXPECT_FALSE(ops->cmdUpdate_Click());
    EXPECT_EQ(prompts->texts(), Texts{"Airflow Write Error"});
    EXPECT_EQ(prompts->messages().front().icon, MessageIcon::Critical);
    EXPECT_FALSE(session->dirty.isSet(0xCE));
    EXPECT_EQ(requestsTo(0xCE).back(), Bytes{0xCE});  // the caller's own request: a read
}

TEST_F(TransferTest, OlderUnitGetsTheLegacyWriteFirst) {
    use(SimUnitKind::Det1_170B);
    readAll();
    struct Case {
        Bytes request;
        std::uint8_t legacy;
        Bytes prepared;
    };
    for (const Case& c : {
             // The boost block goes out without its bytes 6..9.
             Case{{0x5C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13},
                  0x35,
                  {0x5C, 1, 2, 3, 4, 5, 10, 11, 12, 13}},
             Case{{0x5E, 1, 2, 3}, 0x39, {0x5E, 1, 2, 3}},
             Case{{0x8B, 1, 2}, 0xFF, {0x8B, 1, 2}},
         }) {
        sim->ecu().clearRequestLog();
        EXPECT_EQ(ops->PrepareWrite(c.request), c.prepared);
        Bytes legacy = c.prepared;
        legacy[0] = c.legacy;
        // Its result is ignored: a refusal or no answer at all.
        ASSERT_FALSE(sim->ecu().requests().empty());
        EXPECT_EQ(sim->ecu().requests().front(), legacy);
    }
    EXPECT_TRUE(prompts->texts().empty());

    // Update writes the air flow block twice: by the legacy command, then by its own.
    ASSERT_EQ(session->layout.airFlowBlock, 0x5A);
    sim->ecu().clearRequestLog();
    touch(0x5A, 100);
    ops->cmdUpdate_Click();
    std::vector<Bytes> writes;  // not identification's reads
    std::ranges::copy_if(sim->ecu().requests(), std::back_inserter(writes),
                         [](const Bytes& r) { return r.size() > 1; });
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0][0], 0x33);
    writes[0][0] = 0x5A;
    EXPECT_EQ(writes[0], writes[1]);
    EXPECT_EQ(unit()[0x5A], session->image[0x5A]);
    EXPECT_FALSE(session->dirty.any());
}

TEST_F(TransferTest, OlderUnitTakingOnlyTheLegacyCommandStillGetsTheBlock) {
    use(SimUnitKind::Det1_170B);
    readAll();
    sim->ecu().refuseCommand(0x5E);  // the block itself only through 0x39
    touch(0x5E, 3);
    EXPECT_FALSE(ops->cmdUpdate_Click());
    EXPECT_EQ(unit()[0x5E], session->image[0x5E]);
    EXPECT_EQ(prompts->texts(), Texts{"The unit refused block 5E (Settings 2 > Cranking (mS))."});
    EXPECT_TRUE(session->dirty.isSet(0x5E));  // its own write was refused
}

// Nothing incomplete or foreign goes out: the check runs after identification and before the
// first write, and a write it stops sends nothing at all.
TEST_F(TransferTest, WritesOfIncompleteOrForeignBlocksSendNothing) {
    const auto writesSent = [&] {
        return std::ranges::count_if(sim->ecu().requests(),
                                     [](const Bytes& r) { return r.size() > 1; });
    };
    const auto refused = [&](const std::function<bool()>& write, const std::string& problems) {
        sim->ecu().clearRequestLog();
        prompts->clear();
        const BlockStore before = unit();
        EXPECT_FALSE(write());
        EXPECT_EQ(writesSent(), 0);
        EXPECT_EQ(unit(), before);
        EXPECT_EQ(prompts->texts(), Texts{"Nothing was sent to the Power-FC." + problems});
    };
    Session& s = *session;
    s.image[0x86].resize(29);  // a map line cut short in the file
    s.image[0x8A].clear();     // a lost line
    touch(0x8B, 2);
    refused([&] { return ops->cmdWriteAll_Click(); },
            "\r\nBlock 86 holds 29 bytes instead of 100.\r\nBlock 8A is missing.");
    refused([&] { return ops->cmdWriteMap_Click(kInjMap); },
            "\r\nBlock 86 holds 29 bytes instead of 100.");
    s.dirty.set(0x86);  // Update sends only what is flagged
    refused([&] { return ops->cmdUpdate_Click(); }, "\r\nBlock 86 holds 29 bytes instead of 100.");
    EXPECT_TRUE(s.dirty.isSet(0x8B));

    prompts->clear();
    readAll();
    s.image[0xDA] = {1, 2, 3};  // live data
    s.dirty.set(0xDA);
    s.image[0x00] = {0};
    s.dirty.set(0x00);
    s.image[0x8B].resize(300, 0);  // too long to frame
    s.dirty.set(0x8B);
    refused([&] { return ops->cmdUpdate_Click(); },
            "\r\nBlock 0 is not written to this Power-FC version."
            "\r\nBlock 8B holds 300 bytes instead of 12."
            "\r\nBlock DA is not written to this Power-FC version.");
    refused([&] { return ops->mnuWrite_Click(35); },  // Version: identity blocks are read only
            "\r\nBlock F3 is not written to this Power-FC version.");
}

// Every block a write sends is read back once, after the writes: the sends themselves stay as
// they were. Only the bytes that went out are compared (the unit keeps its own names).
TEST_F(TransferTest, WritesAreReadBackOnceComparingOnlyWhatWentOut) {
    touch(0xCE, 5);  // a name: not sent
    touch(0x8B, 2);
    EXPECT_TRUE(ops->cmdWriteAll_Click());
    EXPECT_EQ(prompts->texts(), Texts{});
    EXPECT_FALSE(session->dirty.any());
    std::vector<std::uint8_t> written;
    for (int map : {kInjMap, kIgnMap})
        for (std::uint8_t b : session->maps.mapBlocks(map))
            written.push_back(b);
    // The blocks with names end in a bare read of their own, which serves; the air flow block
    // goes out last, so its read comes first.
    for (const ListedBlock& b : session->layout.writeAllList)
        if (b.command != 0xCE && b.command != 0xD6) written.push_back(b.command);
    written.insert(written.begin(), 0xCE);
    EXPECT_EQ(readBacks(), written);
    const std::vector<std::uint8_t> sends = blockWrites();

    sim->ecu().clearRequestLog();
    ops->setVerifyWrites(false);
    EXPECT_TRUE(ops->cmdWriteAll_Click());
    EXPECT_EQ(blockWrites(), sends);
    EXPECT_EQ(readBacks(), std::vector<std::uint8_t>{0xCE});
}

TEST_F(TransferTest, OlderUnitBoostBlockIsComparedWithoutItsUnsentBytes) {
    use(SimUnitKind::Det1_170B);
    readAll();
    touch(0x5C, 0);
    touch(0x5C, 6);  // byte 7 is not sent: the unit keeps its own
    EXPECT_TRUE(ops->cmdUpdate_Click());
    EXPECT_EQ(prompts->texts(), Texts{});
    EXPECT_FALSE(session->dirty.any());
    EXPECT_EQ(readBacks(), std::vector<std::uint8_t>{0x5C});
}

// What the unit did not keep is named as its page shows it: a setting by page, frame and label,
// a map cell by its map and the grid's headings, each value scaled as shown and its bytes as one.
// Bytes no page shows are named by their block.
TEST_F(TransferTest, WhatTheUnitDidNotKeepIsNamedAsItsPageShowsIt) {
    const auto updateFails = [&](std::uint8_t block, std::size_t byte, std::size_t at,
                                 Bytes value) {
        std::copy(value.begin(), value.end(), session->image[block].begin() + at);
        session->dirty.set(block);
        sim->ecu().misstore(block, byte);
        prompts->clear();
        EXPECT_FALSE(ops->cmdUpdate_Click());
        EXPECT_TRUE(session->dirty.isSet(block));
        sim->ecu().misstore(block, 0);
        return prompts->texts().size() == 1 ? prompts->texts()[0] : std::string("?");
    };
    const std::string kept = "The Power-FC did not keep what was written to ";
    // Idle is a word: 850 goes out as 82, 3 and its low byte comes back 83.
    EXPECT_EQ(updateFails(0x8B, 3, 2, {82, 3}),
              kept +
                  "Settings 1 > Rev / Idle > Idle: sent 850, kept 851; it stays marked for "
                  "Update.");
    ASSERT_EQ(ops->unkeptValues().size(), 1u);
    EXPECT_EQ(ops->unkeptValues()[0].kind, ControlKind::Text);
    EXPECT_EQ(ops->unkeptValues()[0].index, 197);
    // Its high byte as well: still the one value.
    EXPECT_EQ(updateFails(0x8B, 4, 2, {82, 3}),
              kept +
                  "Settings 1 > Rev / Idle > Idle: sent 850, kept 1106; it stays marked for "
                  "Update.");
    EXPECT_EQ(updateFails(0xAB, 4, 3, {20}),
              kept +
                  "Settings 1 > Boost Control > Boost 1 (kg/cm2): sent 1.00, kept 1.05; it "
                  "stays marked for Update.");
    // 8C is on no page under this layout.
    EXPECT_EQ(updateFails(0x8C, 2, 1, {7}),
              kept + "block 8C (byte 2: sent 7, read back 8); it stays marked for Update.");
    EXPECT_TRUE(ops->unkeptValues().empty());

    // Inj Map cell 4 (row 5, column 1) is byte 5 of 86; the grid heads it 800 rpm, load 2792.
    ASSERT_TRUE(session->maps.GridSetData(kInjMap, 5, 1, 128));
    EXPECT_EQ(updateFails(0x86, 5, 4, {128}),
              kept +
                  "Inj Map, 800 rpm / load 2792: sent 1.000, kept 1.004; it stays marked for "
                  "Update.");
    ASSERT_EQ(ops->unkeptValues().size(), 1u);
    EXPECT_EQ(ops->unkeptValues()[0].grid, kInjMap);
    EXPECT_EQ(ops->unkeptValues()[0].row, 5);
    EXPECT_EQ(ops->unkeptValues()[0].col, 1);
    ops->setMapReferenceHeadings(false);
    EXPECT_EQ(updateFails(0x86, 5, 4, {128}),
              kept + "Inj Map, N01 / P05: sent 1.000, kept 1.004; it stays marked for Update.");

    // Five at once: the first four, then how many more.
    ASSERT_TRUE(session->maps.GridSetData(kInjMap, 1, 6, 128));  // byte 1 of 87
    prompts->clear();
    for (auto [block, byte] : {std::pair{0x86, 5}, {0x87, 1}, {0x8B, 3}, {0xAB, 4}, {0x8C, 2}})
        sim->ecu().misstore(static_cast<std::uint8_t>(block), static_cast<std::size_t>(byte));
    EXPECT_FALSE(ops->cmdWriteAll_Click());
    EXPECT_EQ(prompts->texts(),
              Texts{kept + "Inj Map, N01 / P05: sent 1.000, kept 1.004; Inj Map, N06 / P01: sent "
                           "1.000, kept 1.004; Settings 1 > Rev / Idle > Idle: sent 850, kept 851; "
                           "block 8C (byte 2: sent 7, read back 8); and 1 more; they stay marked "
                           "for Update."});
}

// A block the unit stores otherwise stays marked (with the map cells that byte belongs to) and is
// what the next Update sends.
TEST_F(TransferTest, ABlockTheUnitDidNotKeepIsLeftForUpdate) {
    sim->ecu().misstore(0x86, 5);  // Inj Map cell 4: row 5, column 1
    sim->ecu().misstore(0x8B, 3);
    EXPECT_FALSE(ops->cmdWriteAll_Click());
    EXPECT_EQ(prompts->texts().size(), 1u);
    EXPECT_TRUE(session->dirty.isSet(0x86) && session->dirty.isSet(0x8B));
    EXPECT_EQ(session->maps.changedCellCount(kInjMap), 1);
    EXPECT_TRUE(session->maps.CellChanged(kInjMap, 5, 1));
    EXPECT_TRUE(view.saw("RefreshUpdateEnabled"));

    sim->ecu().clearRequestLog();
    EXPECT_FALSE(ops->cmdUpdate_Click());
    EXPECT_EQ(blockWrites(), (std::vector<std::uint8_t>{0x86, 0x8B}));

    // Sent cell by cell, the map's block is read back for the cells that went out.
    use(SimUnitKind::Det1_501);
    readAll();
    sim->ecu().refuseWrites(0x86);
    sim->ecu().misstore(0x86, 21);  // cell 20: row 1, column 2
    changeInjCells(5);
    EXPECT_FALSE(ops->cmdUpdate_Click());
    EXPECT_EQ(requestsTo(0x85).size(), 5u);
    EXPECT_EQ(session->maps.changedCellCount(kInjMap), 1);
    EXPECT_TRUE(session->maps.CellChanged(kInjMap, 1, 2));
    EXPECT_TRUE(session->dirty.isSet(0x86));

    // The popup Write keeps its block marked as well.
    sim->ecu().misstore(0xAB, 2);
    prompts->clear();
    touch(0xAB, 1);
    EXPECT_FALSE(ops->mnuWrite_Click(26));
    ASSERT_EQ(prompts->texts().size(), 1u);
    EXPECT_TRUE(prompts->texts()[0].starts_with(
        "The Power-FC did not keep what was written to Settings 1 > Boost Control > Byte 2: "));
    EXPECT_TRUE(session->dirty.isSet(0xAB));
}

// After the first unanswered read-back the others are not tried: a silent line would cost each
// of them its time-outs.
TEST_F(TransferTest, AnUnansweredReadBackLeavesTheWritesUnverified) {
    const std::uint64_t before = sim->line().requestCount();
    ASSERT_TRUE(ops->cmdUpdate_Click());  // identification only: nothing is flagged
    const std::uint64_t identification = sim->line().requestCount() - before;
    touch(0x8B, 2);
    touch(0x8C, 0);
    const std::uint64_t writesDone = sim->line().requestCount() + identification + 2;
    sim->line().faults().cablePulledAfter = writesDone;
    EXPECT_FALSE(ops->cmdUpdate_Click());
    EXPECT_EQ(sim->line().requestCount() - writesDone, 4u);  // one read-back, every attempt
    EXPECT_EQ(prompts->texts(),
              Texts{"The Power-FC did not answer when block 8B was read back: the writes of "
                    "blocks 8B and 8C are not verified and stay marked for Update."});
    EXPECT_TRUE(session->dirty.isSet(0x8B) && session->dirty.isSet(0x8C));
}

// A block read back a byte short is not verified, even where the write left its end alone (the
// names the unit keeps to itself).
TEST(WrittenBytesTest, AReadBackShortOfTheBlockIsNotVerified) {
    WrittenBytes written;
    const Bytes block(85, 0x11);
    written.noteBlock(0xD6, block, {0, 1, 2, 3, 4});
    EXPECT_FALSE(written.compare(0xD6, block));
    const auto problem = written.compare(0xD6, Bytes(84, 0x11));
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, ReadBackProblem::Kind::Short);
    EXPECT_EQ(problem->positions, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(readBackMessage({*problem}),
              "The Power-FC did not keep what was written to block D6 (84 of its 85 bytes read "
              "back); it stays marked for Update.");
}

TEST(ReadBackMessage, NamesEachBlockOnce) {
    using Kind = ReadBackProblem::Kind;
    ReadBackProblem differs{0x8A, Kind::Differs, 3, 12, 13, 2, {2, 5, 9}};
    ReadBackProblem silent{0x8B, Kind::NoAnswer, 0, 0, 0, 0, {}};
    EXPECT_EQ(readBackMessage({differs, silent}),
              "The Power-FC did not keep what was written to block 8A (byte 3: sent 12, read "
              "back 13, and 2 more bytes); it stays marked for Update.\r\n"
              "The Power-FC did not answer when block 8B was read back: its write is not "
              "verified and it stays marked for Update.");
    EXPECT_EQ(readBackMessage({}), "");
}

TEST_F(TransferTest, InitialiseAsksFirst) {
    EXPECT_FALSE(ops->mnuInitAllData_Click());
    EXPECT_TRUE(requestsTo(0xF6).empty());
    prompts->answerNext(MessageAnswer::Yes);
    EXPECT_TRUE(ops->mnuInitAllData_Click());
    EXPECT_EQ(requestsTo(0xF6), (std::vector<Bytes>{{0xF6, 0x00}}));
    const auto& m = prompts->messages();
    ASSERT_EQ(m.size(), 3u);  // each time asked; the second time told to reset the unit
    EXPECT_EQ(m[1].buttons, MessageButtons::YesNo);
    EXPECT_EQ(m[2].buttons, MessageButtons::Ok);
}

}  // namespace
}  // namespace tunalyx
