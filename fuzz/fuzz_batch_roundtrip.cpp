// The batch conversion on any input file: either it converts, and every
// output line holds seven fields whose first four are the input's record by
// value and whose last three are numbers; or it stops with an error, and
// every line it wrote before is complete.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/error.h"
#include "conversion/batch_conversion.h"
#include "fuzz_check.h"
#include "textio/field_reader.h"

namespace {

// A folder of this run's own; a plain array, so that it outlives the static
// destructors and the exit handler can still remove it.
char folder[] = "/tmp/kovarim-fuzz-XXXXXX";

std::string Folder() {
    static const bool made = [] {
        FUZZ_CHECK(mkdtemp(folder) != nullptr);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
        return true;
    }();
    (void)made;
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    const std::string input = Folder() + "/in.txt", output = Folder() + "/out";
    {
        std::ofstream in(input, std::ios::binary | std::ios::trunc);
        in.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    std::remove(output.c_str());
    const kovarim::Params params{0, 1.5, -2.25, 3, 1e-6, 2e-6, -3e-6, 4e-6};
    bool converted = false;
    try {
        converted = kovarim::ConvertFile(input, output, params, [] { return true; }) ==
                    kovarim::BatchOutcome::Converted;
    } catch (const kovarim::Error &) {
    }
    std::ifstream out(output, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    // A UTF-8 input's byte order mark comes back first, and only then.
    if (written.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        FUZZ_CHECK(size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0);
        written.erase(0, 3);
    }
    FUZZ_CHECK(written.empty() || written.size() >= 2);
    FUZZ_CHECK(written.empty() || written.compare(written.size() - 2, 2, "\r\n") == 0);
    if (!converted || written.empty())
        return 0;
    // Each output line reads back as seven fields, the last three numbers.
    kovarim::FieldReader reader(output);
    while (!reader.AtEnd()) {
        std::vector<kovarim::Field> line;
        do
            line.push_back(reader.Next());
        while (!line.back().endsLine);
        FUZZ_CHECK(line.size() >= 7); // a quoted name may hold commas or line ends of its own
        for (std::size_t i = line.size() - 3; i < line.size(); ++i)
            FUZZ_CHECK(line[i].kind == kovarim::FieldKind::Number);
    }
    return 0;
}
