// Sets what an installer sets, where the user has nothing yet:
//   tarvenix-install-settings NAME=FOLDER ... [3DTemplate=CAPTION=FILE ...]
// e.g. KernelsDir=/path/kernels WorkDir=/path/data in the general settings, and a 3D project
// template that New > Templates offers. A name that holds a value keeps it; a template whose
// caption is listed already is left as it is.

#include <cstdio>
#include <cstring>
#include <string>

#include "outside/basecore/settings.h"

namespace {

constexpr char kTemplates[] = "\\Settings\\3DRaster\\Templates\\Projects";
constexpr char kTemplateArgument[] = "3DTemplate=";
// The suffixes tried for a new caption/file pair.
constexpr int kTemplateSlots = 1000;

// Lists the template under the first free pair of "caption<n>" and "file<n>" values.
bool AddTemplate(const std::string& caption, const std::string& file)
{
    int free = 0;
    for (int n = 1; n <= kTemplateSlots; ++n) {
        const std::string suffix = std::to_string(n);
        const CString listed = GetStringValue(kTemplates, ("caption" + suffix).c_str());
        if (std::string(listed) == caption) return true;
        if (!free && listed.IsEmpty() && GetStringValue(kTemplates, ("file" + suffix).c_str()).IsEmpty())
            free = n;
    }
    if (!free) return false;
    const std::string suffix = std::to_string(free);
    return SetStringValue(kTemplates, ("file" + suffix).c_str(), file.c_str()) &&
           SetStringValue(kTemplates, ("caption" + suffix).c_str(), caption.c_str());
}

}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kTemplateArgument, std::strlen(kTemplateArgument)) == 0) {
            const char* rest = argv[i] + std::strlen(kTemplateArgument);
            const char* equals = std::strchr(rest, '=');
            if (!equals || equals == rest || !equals[1]) {
                std::fprintf(stderr, "usage: %s 3DTemplate=CAPTION=FILE\n", argv[0]);
                return 2;
            }
            if (!AddTemplate(std::string(rest, std::size_t(equals - rest)), equals + 1)) {
                std::fprintf(stderr, "cannot list the template %s\n", rest);
                return 1;
            }
            continue;
        }
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
