// Writes one F32 layer through the real layer class, for the tests that kill a writer:
//   tvx_layer_writer TARGET SIDE VALUE [named]
// Every sample is VALUE; "named" makes the writer use a named temporary.

#include <cstdlib>
#include <cstring>

#include "outside/basecore/rdp_layer.h"
#include "platform/kernel/atomic_file.h"

int main(int argc, char** argv)
{
    if (argc < 4) return 2;
    if (argc > 4 && std::strcmp(argv[4], "named") == 0)
        platform::SetAtomicFileFaults({platform::AtomicStep::kNone, true});
    const int side = std::atoi(argv[2]);
    const float value = static_cast<float>(std::atof(argv[3]));
    CRDPLayer layer;
    void** rows = layer.CreateLayer(argv[1], side, side, 7);
    if (!rows) return 1;
    for (int y = 0; y < side; ++y) {
        float* row = static_cast<float*>(rows[y]);
        for (int x = 0; x < side; ++x) row[x] = value;
    }
    return layer.CloseLayer() ? 0 : 1;
}
