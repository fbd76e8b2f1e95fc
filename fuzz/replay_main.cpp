// Runs a fuzz target's body over stored inputs, without libFuzzer, so that any
// compiler builds it and every test run replays the seed corpus:
//   NAME_replay DIR_OR_FILE...
// A failed check aborts with its message; an empty corpus is a failure too,
// so a missing folder cannot pass unnoticed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

std::vector<std::filesystem::path> InputsIn(const std::filesystem::path& where)
{
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(where)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(where)) {
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(where)) {
        inputs.push_back(where);
    }
    return inputs;
}

// An allocation of exactly the input's size, so a read past its end is caught
// by AddressSanitizer as it would be under libFuzzer.
void Replay(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

}  // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        for (const std::filesystem::path& input : InputsIn(argv[i])) {
            // Names the input that a failure message or a sanitizer report belongs to.
            std::fprintf(stderr, "replay: %s\n", input.c_str());
            Replay(input);
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
