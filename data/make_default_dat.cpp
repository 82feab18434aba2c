// Writes the default.dat shipped beside the program: the tune of a freshly initialised
// family 5 unit as the simulator holds it, so a first start shows real values.
#include <fstream>
#include <iostream>

#include "model/packet_image.h"
#include "sim/default_blocks.h"
#include "versions/tune_file.h"

int main(int argc, char** argv) {
    using namespace tunalyx;
    if (argc != 2) {
        std::cerr << "usage: make_default_dat OUT.dat\n";
        return 2;
    }
    PacketImage image;
    image.assign(defaultBlocks(simUnit(SimUnitKind::Det1_501)));
    const std::string text = dataFileText(image, "Default SR20DET1 5.01 tune\r\n");
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << text;
    return out.good() ? 0 : 1;
}
