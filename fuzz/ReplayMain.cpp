// Runs a fuzz harness over seed files and deterministic mutations of them, so that the
// normal test suite exercises every reader the way the fuzzer does.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace fs = std::filesystem;

static std::vector<uint8_t> Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

static void Mutate(std::vector<uint8_t>& m, std::mt19937& rng, int kind)
{
    if (m.empty())
        return;
    switch (kind % 5) {
    case 0:
        for (int f = 0, n = 1 + static_cast<int>(rng() % 8); f < n; ++f)
            m[rng() % m.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        break;
    case 1:
        m[rng() % std::min<size_t>(m.size(), 128)] = (rng() & 1) ? 0xFF : 0x00;
        break;
    case 2:
        m.resize(rng() % m.size());
        break;
    case 3: {
        size_t at = rng() % std::min<size_t>(m.size(), 256);
        for (size_t k = at; k < std::min(m.size(), at + 4); ++k)
            m[k] = (rng() & 1) ? 0xFF : static_cast<uint8_t>(rng());
        break;
    }
    default: {
        size_t at = rng() % m.size();
        size_t len = std::min<size_t>(1 + rng() % 64, m.size() - at);
        std::vector<uint8_t> copy(m.begin() + static_cast<long>(at),
                                  m.begin() + static_cast<long>(at + len));
        m.insert(m.begin() + static_cast<long>(rng() % m.size()), copy.begin(), copy.end());
        break;
    }
    }
}

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int mutations = 40;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--mutations") == 0 && i + 1 < argc) {
            mutations = std::atoi(argv[++i]);
            continue;
        }
        fs::path p = argv[i];
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(p, ec))
                if (e.is_regular_file())
                    files.push_back(e.path());
        } else if (fs::is_regular_file(p, ec)) {
            files.push_back(p);
        } else {
            // Seeds live in the tree: a missing one means lost coverage, not an empty run.
            std::fprintf(stderr, "seed not found: %s\n", argv[i]);
            return 1;
        }
    }
    std::sort(files.begin(), files.end());
    size_t runs = 0;
    for (const auto& file : files) {
        std::vector<uint8_t> data = Read(file);
        LLVMFuzzerTestOneInput(data.data(), data.size());
        ++runs;
        std::mt19937 rng(static_cast<uint32_t>(std::hash<std::string>{}(file.filename().string())));
        for (int k = 0; k < mutations; ++k) {
            std::vector<uint8_t> m = data;
            Mutate(m, rng, k);
            if (k % 7 == 6)
                Mutate(m, rng, k + 1);
            LLVMFuzzerTestOneInput(m.data(), m.size());
            ++runs;
        }
    }
    std::printf("replayed %zu inputs from %zu files\n", runs, files.size());
    return 0;
}
