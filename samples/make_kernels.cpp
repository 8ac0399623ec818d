// Writes the kernel library the installation brings, through the kernel editor's own mask
// writer: folders of smoothing and edge masks, each mask with its caption and description
// tags, each folder with the caption file the convolution dialog shows for it.
//   tarvenix-make-kernels FOLDER
// Masks are F32 layers of whole numbers; the convolution divides by their sum (edge masks,
// whose sum is 0, are applied as they are).

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "modules/convolution/mask_file.h"
#include "outside/basecore/data_type.h"
#include "outside/basecore/rdp_layer.h"
#include "platform/kernel/atomic_file.h"

namespace {

struct Mask {
    const char* file;
    const char* caption;
    const char* description;
    int width, height;
    std::vector<float> weights;  // row after row
};

struct Folder {
    const char* name;
    const char* caption;  // the content of its "Description.dat"
    std::vector<Mask> masks;
};

std::vector<float> Ones(int n)
{
    return std::vector<float>(std::size_t(n) * n, 1.0f);
}

/// The 5 x 5 binomial weights (1 4 6 4 1) x (1 4 6 4 1), the usual integer Gaussian.
std::vector<float> Binomial5()
{
    const float b[5] = {1, 4, 6, 4, 1};
    std::vector<float> w;
    for (float r : b)
        for (float c : b) w.push_back(r * c);
    return w;
}

bool WriteMask(const std::filesystem::path& folder, const Mask& mask)
{
    CRDPLayer layer;
    void** rows = layer.CreateTempLayer(mask.width, mask.height, int(DataType::F32));
    if (!rows) return false;
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            static_cast<float*>(rows[y])[x] = mask.weights[std::size_t(y) * mask.width + x];
    CRDPLayer* layers[] = {&layer};
    return WriteMaskFile((folder / mask.file).c_str(), layers, 1, mask.caption, mask.description) != 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::vector<Folder> library = {
        {"Smoothing",
         "Smoothing",
         {{"box3.rdp", "Box 3 x 3", "Mean of the 3 x 3 neighbourhood: all nine weights equal.", 3, 3,
           Ones(3)},
          {"box5.rdp", "Box 5 x 5", "Mean of the 5 x 5 neighbourhood: all 25 weights equal.", 5, 5, Ones(5)},
          {"gauss5.rdp", "Gaussian 5 x 5",
           "Binomial weights (1 4 6 4 1) in both directions: a smoothing that keeps edges sharper than the "
           "box.",
           5, 5, Binomial5()}}},
        {"Edges",
         "Edges",
         {{"laplacian.rdp",
           "Laplacian",
           "Second derivative in both directions (4-neighbour Laplacian).",
           3,
           3,
           {0, 1, 0, 1, -4, 1, 0, 1, 0}},
          {"sobel_x.rdp",
           "Sobel X",
           "Derivative along the rows (left to right), smoothed across them.",
           3,
           3,
           {-1, 0, 1, -2, 0, 2, -1, 0, 1}},
          {"sobel_y.rdp",
           "Sobel Y",
           "Derivative down the columns (top to bottom), smoothed across them.",
           3,
           3,
           {-1, -2, -1, 0, 0, 0, 1, 2, 1}}}},
    };
    const std::filesystem::path root = argv[1];
    for (const Folder& folder : library) {
        const std::filesystem::path path = root / folder.name;
        std::error_code error;
        std::filesystem::create_directories(path, error);
        // The caption file holds the caption alone: the dialog shows it byte for byte.
        platform::AtomicFile caption;
        if (!caption.Create((path / "Description.dat").c_str()) ||
            !caption.Write(folder.caption, std::strlen(folder.caption)) || !caption.Commit()) {
            std::fprintf(stderr, "cannot write %s\n", (path / "Description.dat").c_str());
            return 1;
        }
        for (const Mask& mask : folder.masks)
            if (!WriteMask(path, mask)) {
                std::fprintf(stderr, "cannot write %s\n", (path / mask.file).c_str());
                return 1;
            }
    }
    return 0;
}
