// The data file reader takes any text; whatever image and notes it makes must survive a save and
// a reopen.
#include <cstdlib>

#include "fuzz_doubles.h"
#include "versions/tune_file.h"

using namespace tunalyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    PacketImage image;
    PacketDirty dirty;
    std::string notes;
    readDataFileText(fuzz::textOf(data, size), image, dirty, notes);

    PacketImage again;
    PacketDirty againDirty;
    std::string againNotes;
    readDataFileText(dataFileText(image, notes), again, againDirty, againNotes);
    if (!(again == image) || notesAsWritten(againNotes) != notes) std::abort();
    return 0;
}
