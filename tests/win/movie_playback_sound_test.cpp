// Sound for real: run only by tests/win/run-sound.sh, which gives the process a sound device whose
// output lands in a file (CLIPHARBOR_SOUND_OUT). What the controller plays must arrive there as
// the stand-in tone from the right place, stop when playing stops, and never come from a clip
// without sound.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "PlaybackHost.h"
#include "TestUi.h"
#include "movie/playback/win/MovieController.h"
#include "resources/resource.h"
#include "tests/support/GeneratedMedia.h"
#include "ui/ClipHarborDlg.h"

using testui::Pump;
using testui::PumpUntil;

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;

// The device's output file as Windows sees it (through drive Z:), or empty when not given.
std::string OutputPath() {
    const char* unixPath = std::getenv("CLIPHARBOR_SOUND_OUT");
    if (!unixPath || !*unixPath) return {};
    std::string path = std::string("Z:") + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The device writes each opening of it into a file of its own: the given name, then the name
// with .0001, .0002, ... appended.
std::vector<std::string> OutputFiles(const std::string& path) {
    std::vector<std::string> files;
    const std::string folder = path.substr(0, path.find_last_of('\\') + 1);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return files;
    do files.push_back(folder + found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(files.begin(), files.end());
    return files;
}

size_t OutputSize(const std::string& path) {
    size_t total = 0;
    for (const std::string& file : OutputFiles(path)) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data))
            total += static_cast<size_t>((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    }
    return total;
}

// The output stops growing: it holds still for 300 ms. A device may hand over what it already
// took a moment later, and later still on a loaded machine.
bool Stopped(const std::string& path) {
    size_t last = OutputSize(path);
    return PumpUntil([&] {
        Pump(300);
        const size_t now = OutputSize(path);
        return std::exchange(last, now) == now;
    });
}

// What the latest opening of the device was given.
std::vector<int16_t> LatestSamples(const std::string& path) {
    std::vector<int16_t> samples;
    const std::vector<std::string> files = OutputFiles(path);
    if (files.empty()) return samples;
    HANDLE file = CreateFileA(files.back().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return samples;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    std::vector<char> bytes(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    samples.resize(read / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Where in the tone the samples start (in frames from movie time 0): silence skipped wherever it
// comes (a device plays it while it waits for more, and a loaded machine makes it wait mid-way),
// every other frame must be the tone's next one. -1 when they are not the tone.
long ToneStart(const std::vector<int16_t>& samples) {
    const size_t frames = samples.size() / kChannels;
    auto frameAt = [&](size_t i, int c) { return samples[i * kChannels + size_t(c)]; };
    auto silent = [&](size_t i) { return frameAt(i, 0) == 0 && frameAt(i, 1) == 0; };
    auto isTone = [&](size_t i, long k) {
        for (int c = 0; c < kChannels; ++c)
            if (frameAt(i, c) != testsupport::GeneratedSound::Sample(k, c, kRate)) return false;
        return true;
    };
    size_t first = 0;
    while (first < frames && silent(first)) ++first;
    if (frames - first < 64) return -1;
    for (long k = 0; k < 10 * kRate; ++k) {
        bool same = true;
        for (size_t i = 0; i < 16 && same; ++i) same = isTone(first + i, k + long(i));
        if (!same) continue;
        long next = k;
        for (size_t i = first; i < frames; ++i) {
            if (isTone(i, next)) {
                ++next;
            } else if (!silent(i)) {
                return -1;
            }
        }
        return k;
    }
    return -1;
}

class SoundDevice : public ::testing::Test {
protected:
    void SetUp() override {
        output = OutputPath();
        if (output.empty()) GTEST_SKIP() << "run by tests/win/run-sound.sh, with a sound device";
        ASSERT_GT(waveOutGetNumDevs(), 0u) << "the run's sound device is missing";
        testsupport::GeneratedDecoders::Options options;
        options.soundFormat = movie::SoundFormat{kRate, kChannels};
        decoders = std::make_shared<testsupport::GeneratedDecoders>(options);
    }
    void TearDown() override {
        host.reset();
        if (library) {
            library->ExitMovies();
            library->Terminate();
        }
    }

    // Opens a corpus clip in a window of its own, with the stand-in decoders.
    movie::MovieController* Open(const char* clip) {
        library = std::make_unique<preview::LibraryMovieServices>(decoders);
        library->Initialize(0);
        library->EnterMovies();
        host = std::make_unique<testui::PlaybackHost>(*library);
        if (host->player.OpenFile(testui::CorpusPath(clip).c_str()) != 1) return nullptr;
        return library->FindController(host->player.controller);
    }

    std::string output;
    std::shared_ptr<testsupport::GeneratedDecoders> decoders;
    std::unique_ptr<preview::LibraryMovieServices> library;
    std::unique_ptr<testui::PlaybackHost> host;
};

TEST_F(SoundDevice, PlayingWritesTheClipsSoundFromWhereItPlaysAndPauseStopsIt) {
    movie::MovieController* controller = Open("mjpeg_pcm_600.mov");
    ASSERT_NE(controller, nullptr);
    EXPECT_FALSE(controller->SoundOpen()) << "a movie only looked at leaves the device alone";

    const size_t before = OutputSize(output);
    controller->Play();
    ASSERT_TRUE(controller->SoundOpen());
    ASSERT_TRUE(PumpUntil([&] { return OutputSize(output) > before + 4 * kRate; })) << "sound flows";
    controller->Pause();
    ASSERT_TRUE(Stopped(output)) << "pause stops the flow";
    const size_t paused = OutputSize(output);
    EXPECT_FALSE(controller->SoundOpen()) << "a paused movie holds no device";
    EXPECT_EQ(ToneStart(LatestSamples(output)), 0) << "the tone from movie time 0, every frame in order";

    // From 1 s of the movie's 600 units a second: frame 48000 of the tone.
    controller->SeekTo(600);
    controller->Play();
    ASSERT_TRUE(PumpUntil([&] { return OutputSize(output) > paused + 4 * kRate; }));
    host->player.Close();
    EXPECT_TRUE(Stopped(output)) << "closing stops the flow";
    EXPECT_EQ(ToneStart(LatestSamples(output)), kRate);
}

TEST_F(SoundDevice, AClipWithoutSoundWritesNothing) {
    movie::MovieController* controller = Open("mpeg4_1000.mov");
    ASSERT_NE(controller, nullptr);
    const size_t before = OutputSize(output);
    controller->Play();
    Pump(400);
    EXPECT_TRUE(controller->Playing());
    EXPECT_FALSE(controller->SoundOpen());
    EXPECT_EQ(OutputSize(output), before);
}

// Through the main window: every way its preview closes silences the clip.
TEST_F(SoundDevice, EveryWayThePreviewClosesStopsTheSound) {
    testui::ClearDrive('D');
    testui::MakeMediaFolder('D');
    ASSERT_TRUE(testui::CopyCorpusClip("mjpeg_pcm_600.mov", testui::MediaFolder('D') + "a.mov"));
    ASSERT_TRUE(testui::CopyCorpusClip("mjpeg_pcm_600.mov", testui::MediaFolder('D') + "b.mov"));
    auto& library = static_cast<preview::LibraryMovieServices&>(preview::DefaultMovieServices());
    library.SetDecoders(decoders);
    auto dlg = std::make_unique<ClipHarborDlg>(nullptr);
    dlg->SetDevices({testui::MediaFolder('D')});
    ASSERT_TRUE(dlg->CreateModeless());
    Pump();
    const HWND list = GetDlgItem(dlg->hwnd(), IDC_CLIP_LIST);
    auto select = [&](int row) {
        LVITEMA none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        if (row < 0) return;
        LVITEMA item{};
        item.stateMask = item.state = LVIS_SELECTED;
        SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    };
    auto playing = [&]() -> bool {
        movie::MovieController* controller = library.FindController(dlg->Preview().Controller());
        if (!controller) return false;
        const size_t before = OutputSize(output);
        controller->Play();
        return PumpUntil([&] { return OutputSize(output) > before + kRate; });
    };
    const struct {
        const char* way;
        std::function<void()> close;
    } ways[] = {
        {"another clip selected", [&] { select(1); }},
        {"selection cleared", [&] { select(-1); }},
        {"rescan", [&] { dlg->ScanMediaFolder(); }},
        {"window closed", [&] { SendMessageA(dlg->hwnd(), WM_CLOSE, 0, 0); }},
    };
    for (const auto& way : ways) {
        select(0);
        ASSERT_TRUE(playing()) << way.way;
        way.close();
        EXPECT_TRUE(Stopped(output)) << way.way;
    }
    dlg.reset();
    library.SetDecoders(movie::DefaultMediaDecoders());
}

}  // namespace
