// The device's one tree of folders and files: GetFileAttributesW, the lookups every other call that takes
// a path makes, and the control API that creates, lists and deletes entries. The root folder always
// exists; the built-in profile's files are there after every reset (the storage cards add their folders).
// Only existence and kind are modelled, not content. The profile's "files" member lists the tree.
#include "sim/files/files.h"

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ce/identity.h"
#include "pndsim/files.h"
#include "sim/kernel/kernel.h"
#include "sim/profile/profile.h"
#include "sim/text_codec/text_codec.h"

namespace sim::files {
namespace {

// A path's elements, as given: separators are backslashes (or slashes), empty elements are skipped.
std::vector<std::wstring> Elements(std::wstring_view path) {
  std::vector<std::wstring> elements;
  std::wstring element;
  for (const wchar_t c : path) {
    if (c == L'\\' || c == L'/') {
      if (!element.empty()) elements.push_back(std::move(element));
      element.clear();
    } else {
      element += c;
    }
  }
  if (!element.empty()) elements.push_back(std::move(element));
  return elements;
}

// The key of the first `count` elements: "\" and the elements folded, joined by backslashes.
std::wstring KeyOf(const std::vector<std::wstring>& elements, std::size_t count) {
  std::wstring key;
  for (std::size_t i = 0; i < count; ++i) key += L'\\' + FoldCase(elements[i]);
  return key.empty() ? L"\\" : key;
}

// True when the entry `key` lies inside the folder `folder` (at any depth).
bool Inside(const std::wstring& key, const std::wstring& folder) {
  return key.size() > folder.size() && key.starts_with(folder) && key[folder.size()] == L'\\';
}

using profile::Json;
using FileList = std::vector<pndsim::FileEntry>;

void ReadFiles(const Json& value, const std::string& at, FileList& files) {
  if (!value.is_array()) {
    throw profile::Fault{at, false, "expected an array of files, got " + profile::Shown(value)};
  }
  FileList read;
  std::set<std::wstring> seen;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string where = at + "/" + std::to_string(i);
    const Json& entry = value[i];
    profile::RequireMembers(entry, where, {"path", "folder"}, "a file with a path");
    if (!entry.contains("path")) throw profile::Fault{where, false, "expected a file with a \"path\""};
    pndsim::FileEntry file{profile::Name(entry["path"], profile::Member(where, "path"), "a path"), false};
    profile::IfPresent(entry, where, "folder",
                       [&](const Json& m, const std::string& w) { file.folder = profile::Boolean(m, w); });
    if (!seen.insert(FoldCase(Widen(file.path))).second) {
      throw profile::Fault{profile::Member(where, "path"), false,
                           "path listed twice (paths do not differ by case)"};
    }
    read.push_back(std::move(file));
  }
  files = std::move(read);
}

Json WriteFiles(const FileList& files) {
  Json list = Json::array();
  for (const pndsim::FileEntry& file : files) {
    list.push_back(Json{{"path", file.path}, {"folder", file.folder}});
  }
  return list;
}

void ApplyFiles(const FileList& files) {
  for (const pndsim::FileEntry& file : pndsim::Files()) pndsim::RemoveFile(file.path);
  for (const pndsim::FileEntry& file : files) pndsim::SetFile(file.path, file.folder);
}

constinit const profile::Section<FileList> kFiles{"files",    90,         ReadFiles,
                                                  WriteFiles, ApplyFiles, pndsim::Files};
const profile::Registration kFilesRegistration{kFiles};

struct Entry {
  std::wstring path;  // as created
  bool folder = false;
};

struct FileTree {
  FileTree() { Restore(); }  // not shared yet: no lock to take

  Mutex mutex;
  std::map<std::wstring, Entry> entries GUARDED_BY(mutex);  // by key; the root is not listed

  const Entry* Lookup(const std::wstring& key) const REQUIRES(mutex) {
    const auto found = entries.find(key);
    return found == entries.end() ? nullptr : &found->second;
  }

  void Erase(const std::wstring& key) REQUIRES(mutex) {
    entries.erase(key);
    std::erase_if(entries, [&key](const auto& entry) { return Inside(entry.first, key); });
  }

  bool Create(std::wstring_view path, bool folder) REQUIRES(mutex) {
    const std::vector<std::wstring> elements = Elements(path);
    if (elements.empty()) return false;
    std::wstring spelled;
    for (std::size_t i = 1; i <= elements.size(); ++i) {
      const std::wstring key = KeyOf(elements, i);
      const bool wantFolder = i < elements.size() || folder;
      spelled += L'\\' + elements[i - 1];
      const Entry* existing = Lookup(key);
      if (existing != nullptr && existing->folder == wantFolder && i < elements.size()) {
        spelled = existing->path;  // a folder on the way keeps its spelling
        continue;
      }
      if (existing != nullptr && existing->folder != wantFolder) Erase(key);
      entries[key] = Entry{spelled, wantFolder};
    }
    return true;
  }

  // Back to the built-in profile's files; the storage cards put their folders back themselves.
  void Restore() REQUIRES(mutex) {
    entries.clear();
    for (const pndsim::FileEntry& file : kFiles.BuiltIn()) Create(Widen(file.path), file.folder);
  }
};

FileTree& Tree() {
  static auto* tree = [] {
    auto* created = new FileTree;
    OnReset([] {
      FileTree& files = Tree();
      sim::MutexLock lock(files.mutex);
      files.Restore();
    });
    return created;
  }();
  return *tree;
}

}  // namespace

Kind Find(std::wstring_view path) {
  const std::vector<std::wstring> elements = Elements(path);
  if (elements.empty()) return path.empty() ? Kind::None : Kind::Folder;
  FileTree& files = Tree();
  sim::MutexLock lock(files.mutex);
  const Entry* entry = files.Lookup(KeyOf(elements, elements.size()));
  if (entry == nullptr) return Kind::None;
  return entry->folder ? Kind::Folder : Kind::File;
}

DWORD Locate(std::wstring_view path) {
  const std::vector<std::wstring> elements = Elements(path);
  if (elements.empty()) return path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_SUCCESS;
  FileTree& files = Tree();
  sim::MutexLock lock(files.mutex);
  for (std::size_t i = 1; i < elements.size(); ++i) {
    const Entry* folder = files.Lookup(KeyOf(elements, i));
    if (folder == nullptr || !folder->folder) return ERROR_PATH_NOT_FOUND;
  }
  return files.Lookup(KeyOf(elements, elements.size())) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

std::wstring Spelled(std::wstring_view path) {
  const std::vector<std::wstring> elements = Elements(path);
  if (elements.empty()) return path.empty() ? std::wstring() : L"\\";
  FileTree& files = Tree();
  sim::MutexLock lock(files.mutex);
  const Entry* entry = files.Lookup(KeyOf(elements, elements.size()));
  return entry != nullptr ? entry->path : std::wstring();
}

bool Create(std::wstring_view path, bool folder) {
  FileTree& files = Tree();
  sim::MutexLock lock(files.mutex);
  return files.Create(path, folder);
}

bool Delete(std::wstring_view path) {
  const std::vector<std::wstring> elements = Elements(path);
  if (elements.empty()) return false;
  const std::wstring key = KeyOf(elements, elements.size());
  FileTree& files = Tree();
  sim::MutexLock lock(files.mutex);
  if (files.Lookup(key) == nullptr) return false;
  files.Erase(key);
  return true;
}

}  // namespace sim::files

DWORD GetFileAttributesW(LPCWSTR path) {
  const DWORD error = path == nullptr ? ERROR_FILE_NOT_FOUND : sim::files::Locate(path);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  return sim::files::Find(path) == sim::files::Kind::Folder ? FILE_ATTRIBUTE_DIRECTORY
                                                            : FILE_ATTRIBUTE_ARCHIVE;
}

void pndsim::SetFile(const std::string& path, bool folder) { sim::files::Create(sim::Widen(path), folder); }

std::vector<pndsim::FileEntry> pndsim::Files() {
  sim::files::FileTree& files = sim::files::Tree();
  sim::MutexLock lock(files.mutex);
  std::vector<FileEntry> entries;
  entries.reserve(files.entries.size());
  for (const auto& [key, entry] : files.entries) {
    entries.push_back({sim::Narrow(entry.path.c_str()), entry.folder});
  }
  return entries;
}

bool pndsim::RemoveFile(const std::string& path) { return sim::files::Delete(sim::Widen(path)); }

pndsim::FileKind pndsim::FileAt(const std::string& path) {
  switch (sim::files::Find(sim::Widen(path))) {
    case sim::files::Kind::File:
      return FileKind::File;
    case sim::files::Kind::Folder:
      return FileKind::Folder;
    case sim::files::Kind::None:
      break;
  }
  return FileKind::None;
}

std::optional<std::vector<std::string>> pndsim::FolderContents(const std::string& path) {
  const std::wstring wide = sim::Widen(path);
  if (sim::files::Find(wide) != sim::files::Kind::Folder) return std::nullopt;
  const std::vector<std::wstring> elements = sim::files::Elements(wide);
  const std::wstring key = elements.empty() ? std::wstring() : sim::files::KeyOf(elements, elements.size());
  sim::files::FileTree& files = sim::files::Tree();
  sim::MutexLock lock(files.mutex);
  std::vector<std::string> names;
  for (const auto& [entryKey, entry] : files.entries) {
    // Directly inside: the key goes on past the folder's with one element and no further backslash.
    if (entryKey.size() > key.size() + 1 && entryKey.starts_with(key) && entryKey[key.size()] == L'\\' &&
        entryKey.find(L'\\', key.size() + 1) == std::wstring::npos) {
      names.push_back(sim::Narrow(entry.path.substr(entry.path.find_last_of(L'\\') + 1)));
    }
  }
  return names;
}
