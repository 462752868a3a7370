// Seeds for the fuzz targets, made by the project itself:
//
//   kzv_fuzz_seeds <default data folder> <seed folder>
//
// The default data folder is what kzv_datagen wrote; its files are copied to
// the targets that read them (the world file and its light file joined into
// one input, as the world target splits them). The project's own writers then
// write set-ups, colours, the settings files, controls, the player file, the
// English language file, keyboard steering, layout packets and car records,
// each into
// <seed folder>/<target>/.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "core/card_config.h"
#include "core/config_file.h"
#include "core/controllers.h"
#include "core/controls.h"
#include "core/keyboard_steer_file.h"
#include "core/player_file.h"
#include "core/settings.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/seeds/seed_music.h"
#include "fuzz/seeds/seed_records.h"
#include "platform/dds_file.h"
#include "platform/dxt_codec.h"
#include "render/render_device.h"
#include "render/screenshot.h"
#include "render/texture_files.h"
#include "render/texture_manager.h"
#include "ui/interface_colours.h"
#include "ui/translation.h"
#include "vehicle/car_colours.h"
#include "vehicle/car_data_loader.h"
#include "vehicle/car_object.h"
#include "vehicle/setup_file.h"

namespace fs = std::filesystem;

namespace {

fs::path SeedRoot;
int Failures = 0;

std::vector<uint8_t> ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteSeed(const char *target, const std::string &name, const std::vector<uint8_t> &bytes)
{
    std::error_code ec;
    const fs::path folder = SeedRoot / target;
    fs::create_directories(folder, ec);
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "kzv_fuzz_seeds: cannot write %s/%s\n", target, name.c_str());
        ++Failures;
    }
}

// A file a writer made in the working folder (backslashes as separators).
void TakeWritten(const char *target, const char *path, const std::string &name)
{
    std::string local = path;
    for (char &c : local) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (!fs::exists(local)) {
        std::fprintf(stderr, "kzv_fuzz_seeds: %s did not write %s\n", target, local.c_str());
        ++Failures;
        return;
    }
    WriteSeed(target, name, ReadAll(local));
}

// Every file of the data folder with the extension goes to the target; at
// most limit of them (the smallest first), to keep start-up quick.
void CopyData(const fs::path &data, const char *folder, const char *extension, const char *target, size_t limit)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(data / folder, ec)) {
        if (entry.is_regular_file() && entry.path().extension() == extension) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end(), [](const fs::path &a, const fs::path &b) {
        return fs::file_size(a) != fs::file_size(b) ? fs::file_size(a) < fs::file_size(b) : a < b;
    });
    if (files.empty()) {
        std::fprintf(stderr, "kzv_fuzz_seeds: no %s files in %s\n", extension, (data / folder).c_str());
        ++Failures;
    }
    for (size_t n = 0; n < files.size() && n < limit; ++n) {
        WriteSeed(target, files[n].filename().string(), ReadAll(files[n]));
    }
}

void SeedsFromDefaultData(const fs::path &data)
{
    CopyData(data, "veh", ".veh", "car_data", 100);
    CopyData(data, "veh", ".veh", "data_stream", 3);
    CopyData(data, "veh", ".vob", "object_3d", 100);
    CopyData(data, "layout", ".lyt", "layout_file", 100);
    CopyData(data, "layout", ".lyt", "data_stream", 100);
    CopyData(data, "abc", ".abc", "font_file", 1);
    CopyData(data, "hmn", ".hmn", "human_file", 1);
    CopyData(data, "engine", ".eng", "engine_file", 2);
    CopyData(data, "skins", ".jpg", "jpeg", 2);

    // The world file and its light file as one input: world, separator, light.
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(data / "wld", ec)) {
        if (entry.path().extension() != ".wld") {
            continue;
        }
        std::vector<uint8_t> bytes = ReadAll(entry.path());
        for (const auto &light : fs::directory_iterator(data / "wld", ec)) {
            if (light.path().extension() == ".lgh") {
                bytes.insert(bytes.end(), FuzzSeparator, FuzzSeparator + std::strlen(FuzzSeparator));
                const std::vector<uint8_t> lightBytes = ReadAll(light.path());
                bytes.insert(bytes.end(), lightBytes.begin(), lightBytes.end());
                break;
            }
        }
        WriteSeed("world_file", entry.path().stem().string() + ".wld", bytes);
    }
}

void SettingsSeeds()
{
    SetConfigDefaults();
    WriteConfigFile();
    TakeWritten("cfg_txt", "cfg.txt", "default.txt");
    WriteCardConfig();
    TakeWritten("card_cfg", "card_cfg.txt", "default.txt");
    LoadInterfaceColours();
    SaveInterfaceColours();
    TakeWritten("text_settings", "interface_cfg.txt", "interface_cfg.txt");

    SetDefaultControls();
    ReadControlsFile();
    WriteControlsFile();
    TakeWritten("controls_file", ControlsFilePath(), "default.con");
    ResetAxisCalibrations(0);
    WriteCalibrationFile();
    TakeWritten("controls_file", "data\\misc\\cfg.clb", "cfg.clb");

    std::strcpy(PlayerName.name, "seed");
    SetPlayerDefaults();
    WritePlayerFile();
    TakeWritten("player_file", "data\\misc\\seed.ply", "seed.ply");

    WriteKeyboardSteerFile("seed");
    TakeWritten("keyboard_steering", "data\\misc\\seed.kbs", "seed.kbs");

    std::error_code ec;
    fs::create_directories("data/language", ec);
    WriteEnglishFile();
    TakeWritten("language_file", "data\\language\\English.txt", "English.txt");
}

// The set-ups and colours of every default car, written as the garage saves
// them.
void CarFileSeeds(const fs::path &data)
{
    std::error_code ec;
    int written = 0;
    for (const auto &entry : fs::directory_iterator(data / "veh", ec)) {
        if (entry.path().extension() != ".veh" || written >= 4) {
            continue;
        }
        const std::string code = entry.path().stem().string();
        CarObject *car = CreateCarFromFile(code.c_str());
        if (!car) {
            std::fprintf(stderr, "kzv_fuzz_seeds: car %s does not load\n", code.c_str());
            ++Failures;
            continue;
        }
        for (int n = 0; n < car->setupCount && n < 2; ++n) {
            const std::string name = code + "_" + std::to_string(n) + ".set";
            WriteSetupFile(car->setupTable[n].setup, "seed.set");
            TakeWritten("setup_file", "seed.set", name);
        }
        for (int n = 0; n < car->colourCount && n < 2; ++n) {
            const std::string name = code + "_" + std::to_string(n) + ".col";
            WriteColourFile(car->colourTable[n], "seed.col");
            TakeWritten("colour_file", "seed.col", name);
        }
        delete car;
        ++written;
    }
}

}  // namespace

// The texture cache file of a default picture, a small DDS file with every
// level, and a screenshot-style BMP file.
void PictureSeeds()
{
    FuzzRecordingGraphics();
    CompressTextures = 1;
    TextureRecord *record = nullptr;
    if (LoadTextureFile("data\\pic\\road.raw", &record, "road", 0, 0) == 0) {
        DeleteTexture(record);
    }
    TakeWritten("dds_texture", "data\\dds\\road.dds", "road.dds");
    DdsImage image;
    image.width = 8;
    image.height = 8;
    image.dxt3 = true;
    for (int side = 8; side >= 1; side /= 2) {
        std::vector<uint8_t> rgba(static_cast<size_t>(side * side * 4));
        for (size_t i = 0; i < rgba.size(); ++i) {
            rgba[i] = static_cast<uint8_t>(i * 37 + static_cast<size_t>(side));
        }
        image.levels.emplace_back();
        EncodeDxt(rgba.data(), side, side, true, &image.levels.back());
    }
    std::vector<uint8_t> bytes;
    if (EncodeDdsImage(image, &bytes)) {
        WriteSeed("dds_texture", "levels_dxt3.dds", bytes);
    } else {
        ++Failures;
    }
    std::vector<uint8_t> bgra(5 * 3 * 4);
    for (size_t i = 0; i < bgra.size(); ++i) {
        bgra[i] = static_cast<uint8_t>(i * 11);
    }
    if (WriteBmpFile("seed.bmp", bgra.data(), 5, 3)) {
        TakeWritten("bmp_image", "seed.bmp", "seed.bmp");
    } else {
        ++Failures;
    }
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kzv_fuzz_seeds <default data folder> <seed folder>\n");
        return 2;
    }
    const fs::path data = fs::absolute(fs::path(argv[1]) / "data");
    SeedRoot = fs::absolute(argv[2]);
    std::error_code ec;
    fs::create_directories(SeedRoot, ec);

    SeedsFromDefaultData(data);
    // The writers work in a scratch folder that holds the default data.
    FuzzMakeDefaultData();
    SettingsSeeds();
    CarFileSeeds(data);
    PictureSeeds();
    WriteRecordSeeds([](const char *target, const std::string &name, const std::vector<uint8_t> &bytes) {
        WriteSeed(target, name, bytes);
    });
    WriteMusicSeeds([](const char *target, const std::string &name, const std::vector<uint8_t> &bytes) {
        WriteSeed(target, name, bytes);
    });
    if (Failures) {
        std::fprintf(stderr, "kzv_fuzz_seeds: %d failures\n", Failures);
        return 1;
    }
    return 0;
}
