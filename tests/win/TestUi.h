// Helpers for tests that drive real windows: answering the modal boxes a test opens, pumping
// messages, and preparing device folders on the test drives (D: to K:, mapped by the test run).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testui {

// Runs `body` for every top-level dialog box (#32770) of this thread that appears while it lives,
// once per box, from a timer that fires inside any nested modal loop.
class BoxWatcher {
public:
    explicit BoxWatcher(std::function<void(HWND box)> body, std::vector<HWND> ignore = {});
    ~BoxWatcher();
    int Seen() const { return seen_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::function<void(HWND)> body_;
    std::vector<HWND> handled_;
    UINT_PTR timer_ = 0;
    int seen_ = 0;
};

// Texts of a message box: its caption and the message (the static texts joined).
std::string WindowText(HWND window);
std::wstring WindowTextW(HWND window);
std::wstring MessageBoxTextW(HWND box);
// A text of the ANSI code page in UTF-16, as the wide calls take it.
std::wstring Wide(const std::string& text);
// Presses a button of a dialog box by id.
void PressButton(HWND box, int id);

// Processes this thread's messages for `ms` milliseconds (at least one pass).
void Pump(int ms = 0);
// How long a test waits for what it expects to see before it gives up. Only a failing test waits
// this long, so it is generous: a loaded machine may take many times the usual time.
constexpr int kWaitLimitMs = 30000;

// Processes messages until `done` says so or `ms` pass; answers done().
bool PumpUntil(const std::function<bool()>& done, int ms = kWaitLimitMs);

// The test drives: every letter from D to K is a folder of the test run.
std::string DriveRoot(char letter);            // "D:\"
std::string MediaFolder(char letter);          // "D:\Movie\Media\"
void RemoveTree(const std::string& path);      // deletes a folder and everything below it
void ClearDrive(char letter);                  // empties the drive
void MakeMediaFolder(char letter);             // creates \Movie\Media\ on it
// Copies a corpus clip (by file name under tests/data/corpus) to `dest`.
bool CopyCorpusClip(const std::string& clip, const std::string& dest);
std::string CorpusPath(const std::string& clip);
// Writes a file of `bytes` bytes of text (not a movie).
void WriteTextFile(const std::string& path, const std::string& text);
// A file's bytes, read while others may write it; empty when it cannot be opened.
std::string ReadFileBytes(const std::string& path);
bool Exists(const std::string& path);

// The language the test run selected (TEST_LANG: en_US, de_DE, ...).
std::string TestLanguage();

}  // namespace testui
