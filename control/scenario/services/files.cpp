// Files in the scenario language: creating and deleting files and folders on the device, and the
// expectations of what a path names and of what a folder holds.
#include <pndsim/pndsim.h>

#include "lexer.h"
#include "service.h"
#include "statement_makers.h"

namespace scenario {
namespace {

Statement ParseFileOrFolder(Cursor& cursor, bool folder) {
  const std::size_t how = folder ? cursor.Choice({"add"}) : cursor.Choice({"add", "remove"});
  const std::string path = DevicePath(cursor);
  const std::string text =
      std::string(folder ? "folder " : "file ") + (how == 0 ? "add " : "remove ") + QuoteWord(path);
  return Action(text, [=] {
    if (how == 1) return Unless(pndsim::RemoveFile(path), "no such file or folder");
    if (pndsim::FileAt(path) != pndsim::FileKind::None) {
      return std::string("a file or folder of that name exists already");
    }
    pndsim::SetFile(path, folder);
    return std::string();
  });
}

Statement ParseFile(Cursor& cursor) { return ParseFileOrFolder(cursor, false); }
Statement ParseFolder(Cursor& cursor) { return ParseFileOrFolder(cursor, true); }

// expect file|folder|missing PATH: what the path names in the device's file tree now.
Statement ParsePathExpectation(Cursor& cursor, pndsim::FileKind kind) {
  const std::string path = DevicePath(cursor);
  cursor.End();
  static constexpr const char* kWords[] = {"missing", "file", "folder"};
  const std::string expected = std::string(kWords[static_cast<int>(kind)]) + " " + QuoteWord(path);
  return Expectation("expect " + expected, [=](Session&) {
    const pndsim::FileKind found = pndsim::FileAt(path);
    if (found == kind) return Outcome{};
    return Failure("expected " + expected + ", got " + kWords[static_cast<int>(found)]);
  });
}

// expect files FOLDER = NAME...: the names in a folder, in the order the device lists them.
Statement ParseFolderExpectation(Cursor& cursor) {
  const std::string folder = DevicePath(cursor);
  cursor.Choice({"="});
  std::vector<std::string> names;
  while (!cursor.AtEnd()) names.push_back(cursor.Take("a name").text);
  std::string expected = "files " + QuoteWord(folder) + " =";
  for (const std::string& name : names) expected += " " + QuoteWord(name);
  return Expectation("expect " + expected, [=](Session&) {
    const auto listed = pndsim::FolderContents(folder);
    if (!listed) return Failure("expected " + expected + ", got no folder " + QuoteWord(folder));
    std::string got;
    for (const std::string& name : *listed) got += " " + QuoteWord(name);
    if (*listed == names) return Outcome{};
    return Failure("expected " + expected + ", got" + (got.empty() ? " nothing" : got));
  });
}

Statement ParseFilesExpectation(Cursor& cursor, std::string_view word) {
  if (word == "files") return ParseFolderExpectation(cursor);
  return ParsePathExpectation(cursor, word == "file"     ? pndsim::FileKind::File
                                      : word == "folder" ? pndsim::FileKind::Folder
                                                         : pndsim::FileKind::None);
}

ServiceDescription Describe() {
  return {
      .verbs =
          {
              {160,
               {"file", "file add|remove PATH", "create a file on the device, or delete a file or folder"},
               ParseFile},
              {170,
               {"folder", "folder add PATH", "create a folder on the device (and the folders on the way)"},
               ParseFolder},
          },
      .expectForms = {{10,
                       {"file", "folder", "missing", "files"},
                       "expect file|folder|missing PATH | expect files FOLDER = NAME...",
                       "a path",
                       ParseFilesExpectation}},
  };
}

const Service kFiles(Describe);

}  // namespace
}  // namespace scenario
