// The switch parser: the input as command-line arguments (cut at NUL and
// line ends), then as the options file.
#include <string>

#include "cli/run.h"
#include "cli/switches.h"
#include "support/fake_platform.h"

using namespace partam;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> words{"partam"};
    std::string word;
    for (char c : text + '\n') {
        if (c != '\0' && c != '\n') {
            word += c;
        } else {
            words.push_back(word);
            word.clear();
        }
    }
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());

    FakePlatform platform;
    RunContext line(platform);
    ParseCommandLine(line, static_cast<int>(argv.size()), argv.data());
    for (const ArgumentEntry& entry : line.arguments.Entries()) KeywordNumber(entry.value);

    platform.AddFile(platform.programFolder + "partam.opt", std::vector<std::uint8_t>(data, data + size));
    RunContext file(platform);
    ReadOptionsFile(file);
    return 0;
}
