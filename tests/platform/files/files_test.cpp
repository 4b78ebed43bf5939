// The device's one file tree: what the built-in device ships, the platform's errors for a missing folder
// or file, folders made and removed with everything in them, cards as folders, and libraries found by path
// or by name through the search order as one module whose file name is its path.
#include <ce/identity.h>
#include <ce/kernel.h>
#include <ce/modules.h>
#include <ce/process.h>
#include <gtest/gtest.h>
#include <pndsim/pndsim.h>

#include <string>

#include "last_error.h"
#include "sim_guard.h"

namespace {

constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD kFile = FILE_ATTRIBUTE_ARCHIVE;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// GetFileAttributesW of `path`: the attributes, or the last error when it fails.
struct Attributes {
  DWORD attributes;
  DWORD error;
};
Attributes AttributesOf(const std::wstring& path) {
  pndtest::PoisonLastError();
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return {attributes, attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS};
}

class FileTree : public ::testing::Test {
 protected:
  pndtest::SimGuard guard_;
};

TEST_F(FileTree, TheBuiltInDeviceShipsItsFoldersAndFilesAndAnswersThePlatformsErrors) {
  const struct {
    std::wstring path;
    DWORD attributes;  // INVALID_FILE_ATTRIBUTES: it fails with `error`
    DWORD error;
  } cases[] = {
      {L"\\", kFolder, 0},
      {L"\\Windows", kFolder, 0},
      {L"\\Windows\\", kFolder, 0},
      {L"\\WINDOWS\\POUTLOOK.EXE", kFile, 0},
      {L"\\Windows\\externapi.dll", kFile, 0},
      {L"\\Storage Card", kFolder, 0},
      {Wide(pndsim::ApplicationPath()), kFile, 0},
      {Wide(pndsim::kTelephoneProgramPath), kFile, 0},
      {L"\\Windows\\missing.exe", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {L"\\Missing", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
      {L"\\Missing\\tool.exe", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {L"\\Windows\\poutlook.exe\\tool.exe", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
      {L"\\Storage Card\\Missing\\Main.exe", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    const Attributes found = AttributesOf(c.path);
    EXPECT_EQ(found.attributes, c.attributes) << pndsim::ToUtf8(c.path.c_str());
    EXPECT_EQ(found.error, c.error) << pndsim::ToUtf8(c.path.c_str());
  }
}

TEST_F(FileTree, FoldersAreMadeOnTheWayAndGoWithEverythingInThem) {
  pndsim::SetFile("\\Maps\\Europe\\de.map");
  EXPECT_EQ(AttributesOf(L"\\maps").attributes, kFolder);
  EXPECT_EQ(AttributesOf(L"\\Maps\\Europe").attributes, kFolder);
  EXPECT_EQ(AttributesOf(L"\\Maps\\Europe\\de.map").attributes, kFile);

  EXPECT_TRUE(pndsim::RemoveFile("\\MAPS\\europe"));
  EXPECT_EQ(AttributesOf(L"\\Maps").attributes, kFolder);
  EXPECT_EQ(AttributesOf(L"\\Maps\\Europe\\de.map").error, ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(pndsim::RemoveFile("\\Maps\\Europe")) << "gone already";
  EXPECT_FALSE(pndsim::RemoveFile("\\")) << "the root stays";
  for (const pndsim::FileEntry& entry : pndsim::Files()) {
    EXPECT_EQ(entry.path.find("\\Maps\\"), std::string::npos) << entry.path;
  }
}

TEST_F(FileTree, AMountedCardIsAFolderThatGoesWithItsFilesOnRemoval) {
  ASSERT_TRUE(pndsim::MountCard("SD-Karte"));
  EXPECT_EQ(AttributesOf(L"\\SD-Karte").attributes, kFolder);
  pndsim::SetFile("\\SD-Karte\\Tools\\tool.exe");
  EXPECT_EQ(AttributesOf(L"\\SD-Karte\\Tools\\tool.exe").attributes, kFile);
  ASSERT_TRUE(pndsim::RemoveCard("SD-Karte"));
  EXPECT_EQ(AttributesOf(L"\\SD-Karte").error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(AttributesOf(L"\\SD-Karte\\Tools\\tool.exe").error, ERROR_PATH_NOT_FOUND);
}

TEST_F(FileTree, AProgramStartsOnlyFromItsFile) {
  ASSERT_TRUE(pndsim::InstallProgram("\\SD\\tool.exe", [](const std::string&) { return 5u; }));
  pndsim::SetFile("\\SD\\readme.exe");
  const struct {
    const wchar_t* path;
    DWORD error;
  } cases[] = {
      {L"\\sd\\TOOL.exe", ERROR_SUCCESS},
      {L"\\SD\\missing.exe", ERROR_FILE_NOT_FOUND},
      {L"\\Nowhere\\tool.exe", ERROR_PATH_NOT_FOUND},
      {L"\\SD", ERROR_ACCESS_DENIED},
      {L"\\SD\\readme.exe", ERROR_BAD_EXE_FORMAT},
  };
  for (const auto& c : cases) {
    PROCESS_INFORMATION started{};
    pndtest::PoisonLastError();
    const BOOL ok =
        CreateProcessW(c.path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &started);
    EXPECT_EQ(ok != FALSE, c.error == ERROR_SUCCESS) << pndsim::ToUtf8(c.path);
    if (ok == FALSE) {
      EXPECT_EQ(GetLastError(), c.error) << pndsim::ToUtf8(c.path);
      continue;
    }
    EXPECT_EQ(WaitForSingleObject(started.hProcess, 5000), WAIT_OBJECT_0);
    CloseHandle(started.hProcess);
    CloseHandle(started.hThread);
  }
  EXPECT_TRUE(pndsim::ProgramInstalled("\\SD\\tool.exe"));
  ASSERT_TRUE(pndsim::RemoveFile("\\SD"));
  EXPECT_FALSE(pndsim::ProgramInstalled("\\SD\\tool.exe")) << "a program is no more than its file";
}

TEST_F(FileTree, ALibraryIsOneModuleByEveryNameAndReportsItsPath) {
  const wchar_t* const names[] = {L"externapi.dll", L"externapi", L"\\Windows\\externapi.dll",
                                  L"\\WINDOWS\\EXTERNAPI.DLL", L"ExternApi"};
  HMODULE first = nullptr;
  for (const wchar_t* name : names) {
    HMODULE module = LoadLibraryW(name);
    ASSERT_NE(module, nullptr) << pndsim::ToUtf8(name);
    if (first == nullptr) first = module;
    EXPECT_EQ(module, first) << pndsim::ToUtf8(name);
  }
  wchar_t path[64];
  EXPECT_EQ(GetModuleFileNameW(first, path, 64), std::wcslen(L"\\Windows\\externapi.dll"));
  EXPECT_STREQ(path, L"\\Windows\\externapi.dll");
  for (std::size_t i = 0; i < std::size(names); ++i) {
    EXPECT_EQ(pndsim::LoadedLibraries().size(), 1u) << "one reference per load";
    EXPECT_TRUE(FreeLibrary(first));
  }
  EXPECT_TRUE(pndsim::LoadedLibraries().empty());
  pndtest::PoisonLastError();
  EXPECT_EQ(GetModuleFileNameW(first, path, 64), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  pndtest::PoisonLastError();
  EXPECT_EQ(GetModuleFileNameW(nullptr, path, 0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(FileTree, ALibraryIsLookedForInTheApplicationsFolderThenWindowsThenTheRoot) {
  const std::string application = pndsim::ApplicationPath();
  const std::string folder = application.substr(0, application.rfind('\\') + 1);
  const struct {
    std::string placed;  // where the library file is; empty: nowhere
    const wchar_t* asked;
    std::string found;  // empty: not found
  } cases[] = {
      {folder + "externapi.dll", L"externapi.dll", folder + "externapi.dll"},
      {"\\Windows\\externapi.dll", L"externapi.dll", "\\Windows\\externapi.dll"},
      {"\\externapi.dll", L"externapi", "\\externapi.dll"},
      {"\\Storage Card\\externapi.dll", L"externapi.dll", ""},
      {"\\Windows\\externapi.dll", L"\\externapi.dll", ""},
  };
  for (const auto& c : cases) {
    pndsim::Reset();
    ASSERT_TRUE(pndsim::RemoveFile("\\Windows\\externapi.dll"));
    pndsim::SetFile(c.placed);
    pndtest::PoisonLastError();
    HMODULE module = LoadLibraryW(c.asked);
    if (c.found.empty()) {
      EXPECT_EQ(module, nullptr) << c.placed;
      EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND) << c.placed;
      continue;
    }
    ASSERT_NE(module, nullptr) << c.placed;
    wchar_t path[260];
    ASSERT_NE(GetModuleFileNameW(module, path, 260), 0u);
    EXPECT_EQ(pndsim::ToUtf8(path), c.found);
    EXPECT_TRUE(FreeLibrary(module));
  }
}

}  // namespace
