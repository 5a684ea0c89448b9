// The Windows file operations against a real (Wine) file system: the exact-path lookup's notion of
// an ordinary file, bounded reads, and replacement that creates the folder and keeps the old file
// when it fails.
#include "hosts/win32/win32_files.h"

#include <gtest/gtest.h>

#include <string>

#include "hosts/win32/win32_text.h"
#include "hosts/win32/windows_api.h"

namespace loopster {
namespace {

std::string temporarySuffix() {
    return toUtf8(kSaveTemporarySuffix);
}

class Win32FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_root = toUtf8(temp) + "loopster_files_" + std::to_string(GetCurrentProcessId()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryW(toWide(m_root).c_str(), nullptr);
    }
    void TearDown() override { removeTree(toWide(m_root)); }

    std::string path(const std::string& name) const { return m_root + "\\" + name; }

    static void write(const std::string& file, const std::string& content) {
        Win32Files files;
        ASSERT_FALSE(files.replaceFile(file, content).has_value());
    }

    static void removeTree(const std::wstring& folder) {
        WIN32_FIND_DATAW entry{};
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                const std::wstring full = folder + L"\\" + name;
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                    removeTree(full);
                } else {
                    DeleteFileW(full.c_str());
                }
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    Win32Files m_files;
    std::string m_root;
};

TEST_F(Win32FilesTest, LookupFindsAnOrdinaryFileByItsName) {
    write(path("tovren.txt"), "30\r\n1\r\n");
    EXPECT_EQ(m_files.lookup(path("tovren.txt")), "tovren.txt");
}

TEST_F(Win32FilesTest, LookupOfAMissingFileIsEmpty) {
    EXPECT_EQ(m_files.lookup(path("missing.txt")), "");
    EXPECT_EQ(m_files.lookup(path("no folder\\tovren.txt")), "");
}

TEST_F(Win32FilesTest, LookupIgnoresFoldersHiddenAndSystemFiles) {
    CreateDirectoryW(toWide(path("folder.txt")).c_str(), nullptr);
    write(path("hidden.txt"), "x");
    SetFileAttributesW(toWide(path("hidden.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN);
    write(path("system.txt"), "x");
    SetFileAttributesW(toWide(path("system.txt")).c_str(), FILE_ATTRIBUTE_SYSTEM);
    write(path("readonly.txt"), "x");
    SetFileAttributesW(toWide(path("readonly.txt")).c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(m_files.lookup(path("folder.txt")), "");
    EXPECT_EQ(m_files.lookup(path("hidden.txt")), "");
    EXPECT_EQ(m_files.lookup(path("system.txt")), "");
    EXPECT_EQ(m_files.lookup(path("readonly.txt")), "readonly.txt");
}

TEST_F(Win32FilesTest, LookupTakesThePathLiterallyNotAsAPattern) {
    write(path("tovren.txt"), "x");
    EXPECT_EQ(m_files.lookup(path("*.txt")), "");
    EXPECT_EQ(m_files.lookup(path("tovren.tx?")), "");
}

TEST_F(Win32FilesTest, ReadPrefixIsBoundedAndSaysWhyAFileCouldNotBeRead) {
    write(path("long.txt"), "0123456789");
    EXPECT_EQ(m_files.readPrefix(path("long.txt"), 4).content, "0123");
    EXPECT_EQ(m_files.readPrefix(path("long.txt"), 100).content, "0123456789");
    const FileRead missing = m_files.readPrefix(path("missing.txt"), 100);
    EXPECT_FALSE(missing.content.has_value());
    EXPECT_FALSE(missing.unreadable.has_value());

    // Held open by another program without sharing: in use, not forbidden.
    const HANDLE held = CreateFileW(toWide(path("long.txt")).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FileRead locked = m_files.readPrefix(path("long.txt"), 100);
    CloseHandle(held);
    EXPECT_FALSE(locked.content.has_value());
    ASSERT_TRUE(locked.unreadable.has_value());
    EXPECT_EQ(locked.unreadable->reason, kFileInUse);

    CreateDirectoryW(toWide(path("folder.txt")).c_str(), nullptr);
    const FileRead folder = m_files.readPrefix(path("folder.txt"), 100);
    ASSERT_TRUE(folder.unreadable.has_value());
    EXPECT_EQ(folder.unreadable->reason, kFileIsFolder);

    EXPECT_FALSE(m_files.readPrefix(path("long.txt"), 100).readOnly);
    SetFileAttributesW(toWide(path("long.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(m_files.readPrefix(path("long.txt"), 100).readOnly);
}

TEST_F(Win32FilesTest, ReplaceCreatesTheFoldersAndWritesExactBytes) {
    const std::string target = path("a\\b\\tovren.txt");
    ASSERT_FALSE(m_files.replaceFile(target, "30\r\n1\r\n").has_value());
    // A user's own file beside the settings survives every save, whatever its name.
    write(target + ".new", "mine");
    EXPECT_EQ(m_files.readPrefix(target, 100).content, "30\r\n1\r\n");
    ASSERT_FALSE(m_files.replaceFile(target, "100\r\n2\r\n").has_value());
    EXPECT_EQ(m_files.readPrefix(target, 100).content, "100\r\n2\r\n");
    EXPECT_EQ(m_files.readPrefix(target + ".new", 100).content, "mine");
    // Nothing of the save is left beside the target.
    EXPECT_EQ(m_files.lookup(target + temporarySuffix()), "");
}

TEST_F(Win32FilesTest, AFailedReplaceKeepsTheOldFile) {
    const std::string target = path("tovren.txt");
    write(target, "45\r\n2\r\n");
    // A folder in the way of the temporary file makes the write fail before the rename.
    CreateDirectoryW(toWide(target + temporarySuffix()).c_str(), nullptr);
    const auto failure = m_files.replaceFile(target, "30\r\n1\r\n");
    ASSERT_TRUE(failure.has_value());
    EXPECT_FALSE(failure->reason.empty());
    EXPECT_EQ(m_files.readPrefix(target, 100).content, "45\r\n2\r\n");
}

TEST_F(Win32FilesTest, ReplaceUnderAFileReportsTheMissingPath) {
    write(path("plain"), "x");
    const auto failure = m_files.replaceFile(path("plain\\tovren.txt"), "30\r\n1\r\n");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->reason, "Path not found");
}

TEST_F(Win32FilesTest, CreateMakesANewFileAndNeverTouchesAnExistingOne) {
    const std::string marker = path("temp\\tovren.txt");
    const std::string line = "\"created by settings control\"\r\n";
    ASSERT_FALSE(m_files.createFile(marker, line).has_value());
    EXPECT_EQ(m_files.readPrefix(marker, 100).content, line);
    EXPECT_TRUE(m_files.createFile(marker, "other").has_value());
    EXPECT_EQ(m_files.readPrefix(marker, 100).content, line);
}

TEST(Win32FileLocations, TheFixedPaths) {
    const FileLocations locations = win32FileLocations();
    EXPECT_EQ(locations.settingsFile, "c:\\temp\\tovren.txt");
    EXPECT_EQ(locations.markerFile, "c:\\windows\\temp\\tovren.txt");
}

}  // namespace
}  // namespace loopster
