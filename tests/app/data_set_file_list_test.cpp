// Every folder of the default data set, as kzv_datagen writes it, listed by
// a file list in each sort mode, through its own spelling and an upper-case
// one, and drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "ui/file_list.h"
#include "ui/interface_items.h"

namespace {

namespace fs = std::filesystem;

std::string Pattern(const fs::path &folder, bool upper)
{
    std::string text = folder.generic_string();
    std::replace(text.begin(), text.end(), '/', '\\');
    if (upper) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    }
    return text + "\\*";
}

TEST(DataSetFileLists, EveryFolderOfTheDefaultDataIsListedInEveryMode)
{
    const fs::path run = fs::absolute("file_list_data_run");
    fs::remove_all(run);
    const std::string generate = std::string(KZV_DATAGEN) + " " + run.string() + " >/dev/null";
    ASSERT_EQ(std::system(generate.c_str()), 0);
    const fs::path home = fs::current_path();
    fs::current_path(run);
    int folders = 0;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator("data")) {
        if (!entry.is_directory()) {
            continue;
        }
        const fs::path folder = entry.path();
        SCOPED_TRACE(folder.string());
        std::set<std::string> names;
        for (const fs::directory_entry &file : fs::directory_iterator(folder)) {
            if (file.is_regular_file()) {
                names.insert(file.path().filename().string().substr(0, 63));
            }
        }
        ++folders;
        for (const bool upper : {false, true}) {
            for (int mode : {FileListByName, FileListNewest, FileListLanguage}) {
                FileList list;
                list.Fill(Pattern(folder, upper).c_str(), mode, 64, nullptr, 0, nullptr, 0);
                ASSERT_EQ(list.Count, static_cast<int>(names.size()));
                std::set<std::string> listed;
                for (const FileListEntry &file : list.Entries) {
                    listed.insert(file.Name);
                }
                EXPECT_EQ(listed, names);
                if (mode == FileListNewest) {
                    for (int i = 1; i < list.Count; ++i) {
                        EXPECT_GE(FileTimeValue(list.Entries[i - 1].WriteTime),
                                  FileTimeValue(list.Entries[i].WriteTime));
                    }
                }
                BeginInterfaceFrame();
                list.FirstShown = list.Count;
                const float bottom = list.Draw(nullptr, nullptr, -0.35f, 0.35f, -0.16f, 0.06f, 16, 0);
                EXPECT_LE(list.FirstShown, std::max(0, list.Count - 16));
                EXPECT_NEAR(bottom, -0.16f + 0.06f * std::min(16, list.Count), 1e-5);
            }
        }
    }
    BeginInterfaceFrame();
    fs::current_path(home);
    EXPECT_GT(folders, 5);
    fs::remove_all(run);
}

}  // namespace
