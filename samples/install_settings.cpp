// Sets what an installer sets in the general settings, where the user has nothing yet:
//   tarvenix-install-settings NAME=FOLDER ...
// e.g. KernelsDir=/path/kernels WorkDir=/path/data. A name that holds a value keeps it.

#include <cstdio>
#include <cstring>
#include <string>

#include "outside/basecore/settings.h"

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const char* equals = std::strchr(argv[i], '=');
        if (!equals || equals == argv[i]) {
            std::fprintf(stderr, "usage: %s NAME=FOLDER ...\n", argv[0]);
            return 2;
        }
        const std::string name(argv[i], std::size_t(equals - argv[i]));
        if (!GetStringValue("\\Settings\\General", name.c_str()).IsEmpty()) continue;
        if (!SetStringValue("\\Settings\\General", name.c_str(), equals + 1)) {
            std::fprintf(stderr, "cannot write the setting %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
