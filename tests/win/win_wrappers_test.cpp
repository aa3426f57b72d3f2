// The owners of Windows handles: what they open answers as the plain calls do, a handle is given
// back exactly once (not by an owner it moved away from), and what is handed over stays open.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestUi.h"
#include "win/FindHandle.h"
#include "win/GlobalMemory.h"
#include "win/RegKey.h"
#include "win/UniqueHandle.h"

namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(WinWrappers, AHandleIsClosedOnceByItsLastOwner) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(event);
    {
        win::UniqueHandle first(event);
        win::UniqueHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), event);
        win::UniqueHandle third;
        third = std::move(second);
        EXPECT_TRUE(IsOpen(event)) << "an owner it moved away from does not close it";
        EXPECT_EQ(third.Get(), event);
    }
    EXPECT_FALSE(IsOpen(event)) << "closed when its last owner went";

    // Handed over, it stays open for its new owner.
    HANDLE kept = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    { win::UniqueHandle(kept).Release(); }
    EXPECT_TRUE(IsOpen(kept));
    CloseHandle(kept);

    // A failed open (INVALID_HANDLE_VALUE) holds nothing.
    const win::UniqueHandle missing(CreateFileA("Q:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
}

TEST(WinWrappers, RegistryKeysOpenMakeReadAndWrite) {
    const char kKey[] = "Software\\ClipHarborTests\\WinWrappers";
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);

    win::RegKey absent;
    EXPECT_EQ(absent.Open(HKEY_CURRENT_USER, kKey), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(absent.Get(), nullptr);
    {
        win::RegKey made;
        ASSERT_EQ(made.Create(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
        ASSERT_NE(made.Get(), nullptr);
        const DWORD number = 0x1234;
        EXPECT_EQ(made.Set("Number", REG_DWORD, &number, sizeof(number)), ERROR_SUCCESS);
        EXPECT_EQ(made.Set("Text", REG_SZ, "a value", 8), ERROR_SUCCESS);
    }
    win::RegKey opened;
    ASSERT_EQ(opened.Open(HKEY_CURRENT_USER, kKey), ERROR_SUCCESS);
    DWORD number = 0, size = sizeof(number);
    EXPECT_EQ(opened.Query("Number", &number, &size), ERROR_SUCCESS);
    EXPECT_EQ(number, 0x1234u);
    char text[4] = {};
    size = sizeof(text);
    EXPECT_EQ(opened.Query("Text", text, &size), ERROR_MORE_DATA) << "never more than the buffer holds";
    EXPECT_EQ(opened.Query("Missing", text, &size), ERROR_FILE_NOT_FOUND);

    // A key opened again in the same owner replaces the one it held.
    EXPECT_EQ(opened.Open(HKEY_CURRENT_USER, "Software\\ClipHarborTests\\NoSuchKey"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened.Get(), nullptr);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ClipHarborTests");
}

TEST(WinWrappers, ASearchListsEveryEntryOfAFolder) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    const std::string folder = std::string(temp) + "win-wrappers-search\\";
    testui::RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const char* name : {"a.mov", "b.mov", "notes.txt"}) testui::WriteTextFile(folder + name, name);

    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    win::FindHandle search;
    for (bool more = search.First(folder + "*.*", found); more; more = search.Next(found)) names.push_back(found.cFileName);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", "a.mov", "b.mov", "notes.txt"}));
    EXPECT_FALSE(search.Next(found)) << "the end stays the end";

    win::FindHandle none;
    EXPECT_FALSE(none.First(folder + "missing\\*.*", found));
    EXPECT_FALSE(none.Next(found));
    testui::RemoveTree(folder);
}

TEST(WinWrappers, GlobalMemoryHoldsACopyUntilHandedOver) {
    const char bytes[] = "GIF89a and more";
    win::GlobalMemory memory = win::GlobalMemory::CopyOf(bytes, sizeof(bytes));
    ASSERT_TRUE(memory);
    ASSERT_GE(GlobalSize(memory.Get()), sizeof(bytes));
    const void* data = GlobalLock(memory.Get());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, bytes, sizeof(bytes)), 0);
    GlobalUnlock(memory.Get());

    HGLOBAL handedOver = memory.Release();
    EXPECT_FALSE(memory);
    EXPECT_EQ(GlobalFree(handedOver), nullptr) << "still the new owner's to free";
}

}  // namespace
