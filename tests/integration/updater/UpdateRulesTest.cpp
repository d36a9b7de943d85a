#include <gtest/gtest.h>

#include "UpdateJournal.h"
#include "UpdateRules.h"

namespace {

struct RuleCase {
    const char* path;
    bool allowed;
};

TEST(UpdateRules, OnlyTheLaunchersOwnFilesMayBeWritten) {
    const RuleCase cases[] = {
        {"Ravik_desk", true},
        {"Ravik_desk.exe", true},
        {"Rv_Update.exe", true},
        {"waiticon.jpg", true},
        {"platforms/libqxcb.so", true},
        {"resources/icudtl.dat", true},
        {"说明.txt", true},
        // The user's data, in any letter case, also as a folder that would take its place.
        {"usercfg.dat", false},
        {"UserCfg.DAT", false},
        {"gamecfg.dat", false},
        {"Normalcfg.dat", false},
        {"Usedcfg.dat", false},
        {"launcher.ini", false},
        {"usercfg.dat/x", false},
        {"GameIcon/3.png", false},
        {"toolicon/7.png", false},
        {"LocalGameTool/9/tool.exe", false},
        {"ToolDownload/9.zip", false},
        {"GameTool/3.dat", false},
        // The updater's own state.
        {"update.ini", false},
        {"update.log", false},
        {"update.journal", false},
        {"update.zip", false},
        {"UpdateWork/old/Ravik_desk", false},
        // Not plain relative paths, or names Windows reads as another file.
        {"", false},
        {"../evil", false},
        {"a/../usercfg.dat", false},
        {"./usercfg.dat", false},
        {"a//b", false},
        {"usercfg.dat.", false},
        {"usercfg.dat ", false},
        {"NORMAL~1.DAT", false},
        {"Ravik_desk.exe:stream", false},
        {"C:/Windows/x.dll", false},
        {"a\\b", false},
        {"nul", false},
        {"plugins/COM1.txt", false},
        {"line\nbreak", false},
    };
    for (const RuleCase& c : cases) {
        std::string reason = updater::RefusedReason(c.path);
        EXPECT_EQ(reason.empty(), c.allowed) << '"' << c.path << "\": " << reason;
    }
}

TEST(UpdateJournal, ReadsBackWhatItWrote) {
    updater::UpdateJournal journal;
    journal.version = "2.0 beta";
    journal.sertime = "20240301";
    journal.newFolders = {"plugins", "plugins/x"};
    journal.files = {{"Ravik_desk", true}, {"plugins/x/a.so", false}};
    journal.state = updater::UpdateJournal::State::Done;

    updater::UpdateJournal read;
    std::string error;
    ASSERT_TRUE(updater::UpdateJournal::Parse(journal.Serialize(), read, error)) << error;
    EXPECT_EQ(read.version, "2.0 beta");
    EXPECT_EQ(read.sertime, "20240301");
    EXPECT_EQ(read.newFolders, journal.newFolders);
    ASSERT_EQ(read.files.size(), 2u);
    EXPECT_TRUE(read.files[0].replaces);
    EXPECT_EQ(read.files[1].path, "plugins/x/a.so");
    EXPECT_FALSE(read.files[1].replaces);
    EXPECT_EQ(read.state, updater::UpdateJournal::State::Done);
}

TEST(UpdateJournal, RefusesWhatItDidNotWrite) {
    const char* header = "Rv_Update journal 1\n";
    const std::string cases[] = {
        "",
        "some other file\nstate ready\n",
        std::string(header) + "version 2\n",                         // cut before the state
        std::string(header) + "replace a\nstate maybe\n",            // unknown state
        std::string(header) + "state ready\nreplace a\n",            // records after the state
        std::string(header) + "move a\nstate ready\n",               // unknown record
        std::string(header) + "replace ../../etc/x\nstate ready\n",  // leaves the folder
        std::string(header) + "add usercfg.dat\nstate ready\n",      // user data
        std::string(header) + "folder LocalGameTool\nstate ready\n",
    };
    for (const std::string& text : cases) {
        updater::UpdateJournal journal;
        std::string error;
        EXPECT_FALSE(updater::UpdateJournal::Parse(text, journal, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

}  // namespace
