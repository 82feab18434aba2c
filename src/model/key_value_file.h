#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/trace_items.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// The set-up files (chart setups, watch files) are lines of a key, a TAB and a value under a
// bracketed header, ended by CR LF. Each names the version of the unit it was made for and names
// its items by group, place in the group and name, so that another version's item table finds
// them again. Reading is all or nothing: the caller reads into a copy and keeps it only when the
// whole file was read.

// The identity of the connected unit, written into a set-up file and checked when one is loaded.
struct SetupFileVersion {
    std::string_view VerName;
    std::string_view VerNumber;
};

enum class KeyFileOutcome {
    Loaded,    // read to the end: what it set is to be taken
    Declined,  // the user answered No to the version question
    Failed,    // the file is damaged; the message saying where has been shown
};

// What sets one kind of set-up file apart from the other.
struct KeyFileKind {
    std::string_view openError;   // first line of every message about a file that cannot be used
    std::string_view holds;       // what the file is about: "The file holds no <holds>."
    std::string_view versionKey;  // reaching this key asks about a file of another version
    std::string_view versionQuestion;
    MessageIcon questionIcon;
    std::string_view groupKey;       // an item's group
    std::string_view groupIndexKey;  // its place in the group
    std::string_view itemNameKey;    // its name
    int noGroup;                     // the group before any group line; -1 is none at all
};

// The value of one line, read by the rules every set-up file shares. A value that does not fit
// its key stops the reading, and the message names the line.
class KeyFileValue {
public:
    KeyFileValue(std::string_view key, std::string_view text) : m_key(key), m_text(text) {}

    [[nodiscard]] std::string_view text() const { return m_text; }
    // The leading number (blanks skipped, whatever follows it ignored); no number at all is an
    // error, and so is one too large for a double.
    [[nodiscard]] double number() const;
    // The number rounded to a whole one, which must lie in low..high.
    [[nodiscard]] int whole(int low, int high) const;
    // A colour: a 32-bit number, system colours (top bit set) also written as negative numbers.
    [[nodiscard]] std::uint32_t colour() const;
    // "True" or "False" in any case, or a number (not 0 is true).
    [[nodiscard]] bool flag() const;

private:
    std::string_view m_key;
    std::string_view m_text;
};

// The keys of one kind of file and the records (panes, traces, watches) they fill.
class KeyFileRecords {
public:
    virtual ~KeyFileRecords() = default;
    // Applies a key of the file's own; false when the key is none of them (it is then ignored).
    virtual bool apply(std::string_view key, const KeyFileValue& value) = 0;
    // The item of the record being read (0-based, -1 for none), and the item found for it.
    [[nodiscard]] virtual int item() const = 0;
    virtual void setItem(int item) = 0;
};

// Reads set-up file text into the records. The version lines, the version question and the
// item's group, index and name are handled here; an item name found nowhere is reported and
// reading goes on. Failed after the message ("<openError>" and what is wrong where) when a line
// is empty or has a value that does not fit, or when no line holds a key of the file.
KeyFileOutcome readKeyFile(std::string_view text, const KeyFileKind& kind, const TraceItems& items,
                           SetupFileVersion version, KeyFileRecords& records, UserPrompts& prompts);
// The same for a file, refused unread when it is larger than `largest` bytes.
KeyFileOutcome openKeyFile(const std::string& path, std::uintmax_t largest, const KeyFileKind& kind,
                           const TraceItems& items, SetupFileVersion version,
                           KeyFileRecords& records, UserPrompts& prompts);

}  // namespace tunalyx
