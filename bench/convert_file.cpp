// Converts a point file with given parameters, as the batch button does, for
// timing against other tools (see compare_with_cct.sh).
//
//   convert_file DX DY DZ Scale RotX RotY RotZ input output
#include <cstdio>
#include <cstdlib>

#include "base/error.h"
#include "conversion/batch_conversion.h"

int main(int argc, char *argv[]) {
    if (argc != 10) {
        std::fprintf(stderr, "usage: convert_file DX DY DZ Scale RotX RotY RotZ input output\n");
        return 2;
    }
    kovarim::Params params{};
    for (int i = 1; i <= 7; ++i)
        params[i] = std::strtod(argv[i], nullptr);
    try {
        kovarim::ConvertFile(argv[8], argv[9], params, [] { return true; });
    } catch (const kovarim::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
