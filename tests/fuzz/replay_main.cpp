// Runs the fuzz target over every file of the folders (or files) given: the seed corpus replayed
// as a plain test, and any crash file a fuzzer found, without needing the fuzzer itself.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

int replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    // Every cut of a seed as well: the most common damage of a download.
    for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64)
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), cut);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::directory_iterator(p))
                if (e.is_regular_file()) files += replay(e.path());
        } else if (std::filesystem::is_regular_file(p)) {
            files += replay(p);
        }
    }
    std::printf("replayed %d files\n", files);
    return files > 0 ? 0 : 1;
}
