// The repair's Windows side under the program's languages: a template whose name is in the user's
// code page is found by the folder search and opened by the name the search gave.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "TestUi.h"
#include "movie/repair/RepairCommand.h"

using namespace testui;

namespace {

// A file name of the code page the test runs in, beyond ASCII.
std::string CodePageName() {
    const wchar_t* name = GetACP() == 932 ? L"テンプレ.mov" : GetACP() == 1251 ? L"Шаблон.mov" : L"Modèle.mov";
    char bytes[64] = {};
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, 0, name, -1, bytes, sizeof bytes, nullptr, &lost);
    EXPECT_FALSE(lost) << "code page " << GetACP();
    return bytes;
}

TEST(LanguageRepair, FindsATemplateNamedInTheUsersCodePage) {
    ClearDrive('G');
    const std::string folder = DriveRoot('G');
    const std::string healthy = folder + CodePageName();
    ASSERT_TRUE(CopyCorpusClip("dv_ntsc_pcm.mov", healthy));
    // The same recording cut off part-way through its media: no movie header any more.
    std::string cut = ReadFileBytes(healthy);
    cut.resize(cut.size() * 6 / 10);
    WriteTextFile(folder + "Cut.mov", cut);

    std::ostringstream out, err;
    EXPECT_EQ(movie::repair::RunClipRepair({folder + "Cut.mov"}, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("template: " + healthy), std::string::npos) << out.str();
    EXPECT_TRUE(Exists(folder + "Cut-repaired.mov"));
    EXPECT_EQ(ReadFileBytes(folder + "Cut.mov"), cut);
}

}  // namespace
