#pragma once

// A second writer of layer files for tests, written from the layout alone and unlike the
// library's own: no length words before payloads, the pieces of the file (layer entries,
// block headers, payloads) in a shuffled order with gaps of arbitrary bytes between them,
// and each layer's block chain in any order. Its files stand for those of another program.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "layer_test_support.h"

namespace layertest {

struct ForeignTag {
    std::int32_t key = 0;
    Bytes payload;
};

struct ForeignLayer {
    int width = 0;
    int height = 0;
    int type = 0;
    Bytes samples;                 ///< the data block's samples (its count is their size)
    std::vector<ForeignTag> tags;  ///< further blocks, statistics included
};

struct ForeignOptions {
    unsigned seed = 1;
    int version = 3;           ///< 2 writes the first layer only
    bool shuffle = true;       ///< pieces in random order; otherwise in layer and chain order
    bool shuffleChain = true;  ///< descriptor and data block anywhere in the chain
    int maxGap = 0;            ///< up to this many random bytes between pieces
};

inline Bytes WriteForeignFile(const std::vector<ForeignLayer>& layers, const ForeignOptions& o)
{
    std::mt19937 rng(o.seed);
    const size_t layerCount = o.version == 2 ? 1 : layers.size();

    // One piece per structure; `at` is filled in when it is placed.
    struct Piece {
        Bytes bytes;
        size_t at = 0;
    };
    std::vector<Piece> pieces;
    std::vector<size_t> entryPiece(layerCount);
    struct BlockPieces {
        std::int32_t key;
        size_t header;
        size_t payload;
    };
    std::vector<std::vector<BlockPieces>> chains(layerCount);
    std::vector<size_t> dataPieces;

    for (size_t n = 0; n < layerCount; ++n) {
        const ForeignLayer& l = layers[n];
        if (o.version == 3) {
            entryPiece[n] = pieces.size();
            Bytes entry(12, 0);
            for (auto& b : entry) b = std::uint8_t(rng());  // +0 is read by nobody
            pieces.push_back({entry});
        }
        Bytes descriptor(24, 0);
        for (auto& b : descriptor) b = std::uint8_t(rng());  // +0 and +16..+23 are read by nobody
        Put32(descriptor, 4, l.width);
        Put32(descriptor, 8, l.height);
        Put32(descriptor, 12, l.type);
        Bytes data(4, 0);
        Put32(data, 0, std::int32_t(l.samples.size()));
        data.insert(data.end(), l.samples.begin(), l.samples.end());

        std::vector<std::pair<std::int32_t, Bytes>> blocks = {{0, descriptor}, {1, data}};
        for (const ForeignTag& t : l.tags) blocks.push_back({t.key, t.payload});
        if (o.shuffleChain) std::shuffle(blocks.begin(), blocks.end(), rng);
        for (auto& [key, payload] : blocks) {
            const size_t header = pieces.size();
            pieces.push_back({Bytes(12, 0)});
            pieces.push_back({payload});
            chains[n].push_back({key, header, header + 1});
            if (key == 1) dataPieces.push_back(header + 1);
        }
    }

    // Version 3 puts the first layer entry at 12, version 2 the first block header.
    const size_t first = o.version == 3 ? entryPiece[0] : chains[0][0].header;
    std::vector<size_t> order;
    for (size_t i = 0; i < pieces.size(); ++i)
        if (i != first) order.push_back(i);
    if (o.shuffle) std::shuffle(order.begin(), order.end(), rng);
    order.insert(order.begin(), first);

    Bytes file(12, 0);
    std::memcpy(file.data(), "RDPR", 4);
    Put32(file, 4, o.version);
    Put32(file, 8, std::int32_t(rng()));
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && o.maxGap > 0) {
            const int gap = int(rng() % unsigned(o.maxGap + 1));
            for (int g = 0; g < gap; ++g) file.push_back(std::uint8_t(rng()));
        }
        Piece& p = pieces[order[k]];
        p.at = file.size();
        file.insert(file.end(), p.bytes.begin(), p.bytes.end());
    }
    // Readers refuse samples that end the file.
    if (std::find(dataPieces.begin(), dataPieces.end(), order.back()) != dataPieces.end())
        file.resize(file.size() + 4, 0);

    for (size_t n = 0; n < layerCount; ++n) {
        const auto& chain = chains[n];
        for (size_t b = 0; b < chain.size(); ++b) {
            const size_t h = pieces[chain[b].header].at;
            Put32(file, h, chain[b].key);
            Put32(file, h + 4, std::int32_t(pieces[chain[b].payload].at));
            Put32(file, h + 8, b + 1 < chain.size() ? std::int32_t(pieces[chain[b + 1].header].at) : 0);
        }
        if (o.version == 3) {
            const size_t e = pieces[entryPiece[n]].at;
            Put32(file, e + 4, std::int32_t(pieces[chain[0].header].at));
            Put32(file, e + 8, n + 1 < layerCount ? std::int32_t(pieces[entryPiece[n + 1]].at) : 0);
        }
    }
    return file;
}

/// A colour-map tag payload: the 48-byte head (+8 the value 1, +12 the entry count) and
/// `entries` entries of 20 bytes, every byte after the head numbered from `first`.
inline Bytes PalettePayload(int entries, std::uint8_t first = 1)
{
    Bytes b(size_t(48 + 20 * entries), 0);
    Put32(b, 8, 1);
    Put32(b, 12, entries);
    for (size_t i = 48; i < b.size(); ++i) b[i] = std::uint8_t(first + i);
    return b;
}

}  // namespace layertest
