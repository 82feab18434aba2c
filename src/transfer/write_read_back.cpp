#include "transfer/write_read_back.h"

#include <algorithm>
#include <utility>

#include "transfer/block_names.h"

namespace tunalyx {

namespace {

// Values named past these are counted, not listed: the message must fit a message box.
constexpr std::size_t kListedValues = 4;

std::string plural(std::size_t n, const char* one, const char* many) {
    return n == 1 ? one : many;
}

}  // namespace

std::string blockDifference(const ReadBackProblem& p, const std::string& place) {
    std::string text = hexText(p.block) + " (" + (place.empty() ? "" : place + "; ");
    if (p.kind == ReadBackProblem::Kind::Short)
        return text + std::to_string(p.readSize) + " of its " + std::to_string(p.blockSize) +
               " bytes read back)";
    text += "byte " + std::to_string(p.byte) + ": sent " + std::to_string(p.sent) + ", read back " +
            std::to_string(p.readBack);
    if (p.moreBytes > 0)
        text += ", and " + std::to_string(p.moreBytes) + " more " +
                plural(p.moreBytes, "byte", "bytes");
    return text + ")";
}

WrittenBytes::Block& WrittenBytes::entry(std::uint8_t block) {
    const auto found = std::find_if(m_blocks.begin(), m_blocks.end(),
                                    [&](const Block& b) { return b.block == block; });
    if (found != m_blocks.end()) return *found;
    m_blocks.push_back({block, {}, 0, {}, std::nullopt, false});
    return m_blocks.back();
}

void WrittenBytes::note(std::uint8_t block, std::size_t position, std::uint8_t value) {
    Block& b = entry(block);
    if (b.sent.size() <= position) {
        b.sent.resize(position + 1, 0);
        b.written.resize(position + 1, false);
    }
    b.sent[position] = value;
    b.written[position] = true;
    // What was read before this write no longer tells what the unit holds.
    b.readBack.reset();
}

void WrittenBytes::noteBlock(std::uint8_t block, const Bytes& data,
                             const std::vector<std::size_t>& positions) {
    for (std::size_t p : positions)
        if (p < data.size()) note(block, p, data[p]);
    // A write of nothing is still a write the unit must have taken, and the block it gives
    // back must be whole even where the write left it alone.
    Block& b = entry(block);
    b.length = std::max(b.length, data.size());
}

void WrittenBytes::noteWhole(std::uint8_t block, const Bytes& data) {
    noteBlock(block, data, {});
    for (std::size_t p = 0; p < data.size(); ++p)
        note(block, p, data[p]);
}

void WrittenBytes::noteReadBack(std::uint8_t block, Bytes data) {
    entry(block).readBack = std::move(data);
}

bool WrittenBytes::has(std::uint8_t block) const {
    return std::any_of(m_blocks.begin(), m_blocks.end(),
                       [&](const Block& b) { return b.block == block; });
}

void WrittenBytes::noteFailed(std::uint8_t block) {
    entry(block).failed = true;
}

std::vector<std::size_t> WrittenBytes::writtenPositions(const Block& b) const {
    std::vector<std::size_t> positions;
    for (std::size_t p = 0; p < b.written.size(); ++p)
        if (b.written[p]) positions.push_back(p);
    return positions;
}

std::optional<ReadBackProblem> WrittenBytes::compare(std::uint8_t block, const Bytes& data) const {
    const auto found = std::find_if(m_blocks.begin(), m_blocks.end(),
                                    [&](const Block& b) { return b.block == block; });
    if (found == m_blocks.end()) return std::nullopt;
    ReadBackProblem problem;
    problem.block = block;
    if (data.size() < found->length) {
        problem.kind = ReadBackProblem::Kind::Short;
        problem.readSize = data.size();
        problem.blockSize = found->length;
        problem.positions = writtenPositions(*found);
        return problem;
    }
    for (std::size_t p : writtenPositions(*found)) {
        if (p < data.size() && data[p] == found->sent[p]) continue;
        if (problem.positions.empty()) {
            problem.byte = p + 1;
            problem.sent = found->sent[p];
            problem.readBack = p < data.size() ? data[p] : 0;
        }
        problem.positions.push_back(p);
    }
    if (problem.positions.empty()) return std::nullopt;
    problem.moreBytes = problem.positions.size() - 1;
    problem.kept = data;
    problem.sentBlock = data;
    problem.sentBlock.resize(std::max(data.size(), found->sent.size()), 0);
    for (std::size_t p : writtenPositions(*found))
        problem.sentBlock[p] = found->sent[p];
    return problem;
}

WrittenBytes::Outcome WrittenBytes::readBack(
    const std::function<std::optional<Bytes>(std::uint8_t)>& read) const {
    Outcome outcome;
    bool lineSilent = false;
    for (const Block& b : m_blocks) {
        if (b.failed) {
            outcome.told.push_back(b.block);
            continue;
        }
        const auto lost = [&](ReadBackProblem::Kind kind) {
            ReadBackProblem p;
            p.block = b.block;
            p.kind = kind;
            p.positions = writtenPositions(b);
            outcome.problems.push_back(std::move(p));
        };
        if (lineSilent) {
            lost(ReadBackProblem::Kind::NotRead);
            continue;
        }
        std::optional<Bytes> data = b.readBack ? b.readBack : read(b.block);
        if (!data) {
            lost(ReadBackProblem::Kind::NoAnswer);
            lineSilent = true;
            continue;
        }
        if (auto problem = compare(b.block, *data)) outcome.problems.push_back(std::move(*problem));
    }
    return outcome;
}

std::string readBackMessage(
    const std::vector<ReadBackProblem>& problems,
    const std::function<std::string(std::uint8_t)>& place,
    const std::function<std::vector<std::string>(const ReadBackProblem&)>& values) {
    using Kind = ReadBackProblem::Kind;
    std::vector<std::string> blocks, items, unverified;
    std::string silent;
    for (const ReadBackProblem& p : problems) {
        if (p.kind == Kind::Differs || p.kind == Kind::Short) {
            std::vector<std::string> named;
            if (p.kind == Kind::Differs && values) named = values(p);
            if (named.empty()) {
                blocks.push_back(blockDifference(p, place ? place(p.block) : std::string()));
                named.push_back("block " + blocks.back());
            }
            items.insert(items.end(), named.begin(), named.end());
        }
        if (p.kind == Kind::NoAnswer) silent = hexText(p.block);
        if (p.kind == Kind::NoAnswer || p.kind == Kind::NotRead)
            unverified.push_back(hexText(p.block));
    }
    std::string text;
    if (!items.empty()) {
        text = "The Power-FC did not keep what was written to ";
        if (blocks.size() == items.size()) {
            // Only blocks: named as they always were.
            text += plural(blocks.size(), "block ", "blocks ") + listedNames(blocks);
        } else {
            // A value's own text holds a comma: values are set apart by semicolons.
            for (std::size_t i = 0; i < items.size() && i < kListedValues; ++i)
                text += (i > 0 ? "; " : "") + items[i];
            if (items.size() > kListedValues)
                text += "; and " + std::to_string(items.size() - kListedValues) + " more";
        }
        text += "; " + plural(items.size(), "it stays", "they stay") + " marked for Update.";
    }
    if (!unverified.empty()) {
        if (!text.empty()) text += "\r\n";
        text += "The Power-FC did not answer when block " + silent + " was read back: ";
        text += unverified.size() == 1 ? "its write is not verified and it stays marked for Update."
                                       : "the writes of blocks " + listedNames(unverified) +
                                             " are not verified and stay marked for Update.";
    }
    return text;
}

}  // namespace tunalyx
