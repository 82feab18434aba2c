#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ports/bytes.h"

namespace tunalyx {

// A block the unit does not hold as it was written, or whose read-back could not be had.
struct ReadBackProblem {
    enum class Kind {
        Differs,   // some byte written reads back otherwise (a cell written alone may lie
                   // past the end of a read-back: that counts as otherwise)
        Short,     // the block read back is shorter than the block written
        NoAnswer,  // the read-back went unanswered
        NotRead,   // not read back: an earlier read-back went unanswered
    };
    std::uint8_t block = 0;
    Kind kind = Kind::Differs;
    std::size_t byte = 0;  // Differs: the first differing byte, 1-based
    std::uint8_t sent = 0;
    std::uint8_t readBack = 0;
    std::size_t moreBytes = 0;  // Differs: how many further bytes differ
    // The written positions (0-based) the unit is not known to hold as sent.
    std::vector<std::size_t> positions;
    std::size_t readSize = 0;  // Short: the bytes read back, of `blockSize`
    std::size_t blockSize = 0;
    // Differs: the block as the unit gave it back, and the same with the written bytes as sent,
    // so a value can be read both ways.
    Bytes kept{};
    Bytes sentBlock{};
};

// The bytes one write operation sent, by block and position, and the check of them against what
// the unit gives back. Only what went out is compared: names the unit keeps to itself, the older
// unit's boost bytes 6..9 and the cells a cell-by-cell pass did not reach are not.
class WrittenBytes {
public:
    // Byte `position` (0-based) of `block` went out as `value`; a later write of it counts.
    void note(std::uint8_t block, std::size_t position, std::uint8_t value);
    // The `positions` of `data` (the block as meant) went out.
    void noteBlock(std::uint8_t block, const Bytes& data,
                   const std::vector<std::size_t>& positions);
    // All of `data` went out.
    void noteWhole(std::uint8_t block, const Bytes& data);
    // The block was read right after its write (a write that ends in a read of the block): that
    // reply is its read-back.
    void noteReadBack(std::uint8_t block, Bytes data);
    // The block's write is already known not to have taken, and the user told so: it is kept
    // marked without a read-back or a second message.
    void noteFailed(std::uint8_t block);

    [[nodiscard]] bool empty() const { return m_blocks.empty(); }
    // Whether any byte of the block went out.
    [[nodiscard]] bool has(std::uint8_t block) const;
    void clear() { m_blocks.clear(); }

    // What differs between the bytes sent to `block` and the data read back; nullopt when the
    // unit holds every byte as sent.
    [[nodiscard]] std::optional<ReadBackProblem> compare(std::uint8_t block,
                                                         const Bytes& data) const;

    // Reads every written block back in the order the blocks first went out and compares it.
    // `read` gives a block's data, nullopt when the unit does not answer; after the first
    // unanswered read the rest are not read (a silent line would cost a time-out each).
    // Blocks noted as failed come back without a message of their own (`told`).
    struct Outcome {
        std::vector<ReadBackProblem> problems;  // to tell the user
        std::vector<std::uint8_t> told;         // failed already, told already
    };
    [[nodiscard]] Outcome readBack(
        const std::function<std::optional<Bytes>(std::uint8_t)>& read) const;

private:
    struct Block {
        std::uint8_t block;
        Bytes sent;                 // by position; meaningful where `written`
        std::size_t length = 0;     // of the whole block as written; 0 when only cells went
        std::vector<bool> written;  // positions that went out
        std::optional<Bytes> readBack;
        bool failed = false;
    };
    Block& entry(std::uint8_t block);
    [[nodiscard]] std::vector<std::size_t> writtenPositions(const Block& b) const;

    std::vector<Block> m_blocks;  // in the order they first went out
};

// A block by its bytes: "8A (byte 3: sent 12, read back 13)", "8B (Settings 1 > Rev / Idle; 84
// of its 85 bytes read back)". `place` is where the user finds the block, empty when nowhere.
[[nodiscard]] std::string blockDifference(const ReadBackProblem& p, const std::string& place);

// One message naming everything of an operation that did not verify, e.g. "The Power-FC did
// not keep what was written to Settings 1 > Rev / Idle > Idle: sent 850, kept 851; it stays
// marked for Update." Empty when there is none.
// `place` says where the user finds a block ("Settings 1 > Rev / Idle"), empty when nowhere;
// `values` names what a page shows among a differing block's bytes, empty when nothing: that
// block is then named by its bytes. The first few items are listed, then how many more.
[[nodiscard]] std::string readBackMessage(
    const std::vector<ReadBackProblem>& problems,
    const std::function<std::string(std::uint8_t)>& place = {},
    const std::function<std::vector<std::string>(const ReadBackProblem&)>& values = {});

}  // namespace tunalyx
