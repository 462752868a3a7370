// Writes the default data set into a run folder: kzv_datagen <run folder>.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/body_objects.h"
#include "tools/car_data_writer.h"
#include "tools/default_engines.h"
#include "tools/default_grid.h"
#include "tools/default_human.h"
#include "tools/default_music.h"
#include "tools/default_skins.h"
#include "tools/default_sounds.h"
#include "tools/default_textures.h"
#include "tools/default_track.h"
#include "tools/font_file.h"
#include "tools/interface_pictures.h"
#include "tools/standard_pictures.h"
#include "tools/knowledge_files.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kzv_datagen <run folder>\n");
        return 2;
    }
    std::error_code ec;
    // data/misc holds the files the program writes at exit (views, controls,
    // calibrations); an installation has it from the start.
    std::filesystem::create_directories(std::filesystem::path(argv[1]) / "data" / "misc", ec);
    if (ec) {
        std::fprintf(stderr, "kzv_datagen: cannot create %s/data/misc: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    // data/language takes the English file the program writes at every start
    // and the language files the user adds.
    std::filesystem::create_directories(std::filesystem::path(argv[1]) / "data" / "language", ec);
    if (ec) {
        std::fprintf(stderr, "kzv_datagen: cannot create %s/data/language: %s\n", argv[1], ec.message().c_str());
        return 1;
    }
    if (const char *error = WriteFontFile(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: font file: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultSkins(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default skins: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultEngineFiles(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default engine sounds: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultSounds(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default sounds: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultMusic(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default music: %s\n", error);
        return 1;
    }
    if (const char *error = WriteHumanFile(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: human figure: %s\n", error);
        return 1;
    }
    if (const char *error = WriteBodyObjects(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: body objects: %s\n", error);
        return 1;
    }
    if (const char *error = WriteCarDataFiles(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: car data: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultTextures(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default textures: %s\n", error);
        return 1;
    }
    if (const char *error = WriteInterfacePictures(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: interface pictures: %s\n", error);
        return 1;
    }
    if (const char *error = WriteStandardPictures(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: standard pictures: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultTrack(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default track: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultLayout(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: default layout: %s\n", error);
        return 1;
    }
    if (const char *error = WriteKnowledgeFiles(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: AI knowledge: %s\n", error);
        return 1;
    }
    if (const char *error = WriteDefaultGrid(argv[1])) {
        std::fprintf(stderr, "kzv_datagen: start grid: %s\n", error);
        return 1;
    }
    return 0;
}
