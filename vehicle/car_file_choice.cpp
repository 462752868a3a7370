#include "vehicle/car_file_choice.h"

#include <cstdio>
#include <cstring>

#include "core/settings.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_setup.h"
#include "vehicle/setup_file.h"

namespace {

constexpr int FileChoice = -1;

// The settings of one kind of choice and how its file is read.
struct ChoiceSettings {
    int *index;
    char (*name)[16];
    const char *folder;
    const char *extension;
};

void FallBack(const ChoiceSettings &choice, void *out, size_t size, int newIndex)
{
    if (newIndex >= 0) {
        *choice.index = newIndex;
    }
    std::memset(*choice.name, 0, sizeof(*choice.name));
    std::memset(out, 0, size);
}

// Steps shared by both loaders; readFile reads the formed path into out.
template <typename Record, typename Reader>
int LoadChosenFile(const ChoiceSettings &choice, Record *out, const char *code, Reader readFile)
{
    if (*choice.index != FileChoice) {
        FallBack(choice, out, sizeof(Record), -1);
        return 0;
    }
    if (code == nullptr) {
        FallBack(choice, out, sizeof(Record), 0);
        return 0;
    }
    char path[96];
    const int nameLength = static_cast<int>(strnlen(*choice.name, sizeof(*choice.name)));
    const int length = std::snprintf(path, sizeof(path), "%s\\%s_%.*s.%s", choice.folder, code, nameLength,
                                     *choice.name, choice.extension);
    if (length > 0 && length < static_cast<int>(sizeof(path)) && readFile(out, path)) {
        return 0;
    }
    FallBack(choice, out, sizeof(Record), 0);
    return 1;
}

}  // namespace

int LoadCarSetupFile(CarSetup *out, const char *code)
{
    const ChoiceSettings choice = {&SetupIndex, &SetupName, "data\\setups", "set"};
    return LoadChosenFile(choice, out, code, ReadSetupFile);
}

int LoadCarColourFile(CarColours *out, const char *code)
{
    const ChoiceSettings choice = {&ColoursIndex, &ColoursName, "data\\colours", "col"};
    return LoadChosenFile(choice, out, code, ReadColourFile);
}
