// The files that exist on the simulated device: GetFileAttributesW and the control API that creates, lists
// and deletes them. Only their existence and kind are modelled, not their content.
#include "sim/files/files.h"

#include <cwctype>
#include <map>
#include <string>

#include "ce/identity.h"
#include "pndsim/files.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim::files {
namespace {

// The key a path is filed under: lower case, so that paths compare without regard to case.
std::wstring FileKey(std::wstring_view path) {
  std::wstring key(path);
  for (wchar_t& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
  return key;
}

struct FileTable {
  FileTable() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  std::map<std::wstring, pndsim::FileEntry> entries GUARDED_BY(mutex);  // by FileKey

  void Add(const std::wstring& path, bool folder) REQUIRES(mutex) {
    entries[FileKey(path)] = pndsim::FileEntry{Narrow(path.c_str()), folder};
  }

  // Back to the built-in profile's files.
  void Restore() REQUIRES(mutex) {
    entries.clear();
    for (const pndsim::FileEntry& file : profile::BuiltInProfile().files) Add(Widen(file.path), file.folder);
  }
};

FileTable& Table() {
  static auto* table = [] {
    auto* created = new FileTable;
    OnReset([] {
      FileTable& files = Table();
      sim::MutexLock lock(files.mutex);
      files.Restore();
    });
    return created;
  }();
  return *table;
}

}  // namespace

Kind Find(std::wstring_view path) {
  FileTable& files = Table();
  sim::MutexLock lock(files.mutex);
  const auto found = files.entries.find(FileKey(path));
  if (found == files.entries.end()) return Kind::None;
  return found->second.folder ? Kind::Folder : Kind::File;
}

}  // namespace sim::files

DWORD GetFileAttributesW(LPCWSTR path) {
  switch (path == nullptr ? sim::files::Kind::None : sim::files::Find(path)) {
    case sim::files::Kind::Folder:
      return FILE_ATTRIBUTE_DIRECTORY;
    case sim::files::Kind::File:
      return FILE_ATTRIBUTE_ARCHIVE;
    case sim::files::Kind::None:
      break;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_FILE_ATTRIBUTES;
}

void pndsim::SetFile(const std::string& path, bool folder) {
  sim::files::FileTable& files = sim::files::Table();
  sim::MutexLock lock(files.mutex);
  files.Add(sim::Widen(path), folder);
}

std::vector<pndsim::FileEntry> pndsim::Files() {
  sim::files::FileTable& files = sim::files::Table();
  sim::MutexLock lock(files.mutex);
  std::vector<FileEntry> entries;
  for (const auto& [key, entry] : files.entries) entries.push_back(entry);
  return entries;
}

bool pndsim::RemoveFile(const std::string& path) {
  sim::files::FileTable& files = sim::files::Table();
  sim::MutexLock lock(files.mutex);
  return files.entries.erase(sim::files::FileKey(sim::Widen(path))) != 0;
}
