#include "BrowseFolderConfirm.h"

#include <filesystem>
#include <system_error>

#include "BrowseFolderTexts.h"
#include "DirTreeViewPaths.h"
#include "FileAttributes.h"
#include "Paths.h"

namespace {

// Characters that no folder name of the charts may carry (they are not
// allowed on the disks the charts travel on).
bool HasInvalidCharacter(const std::string& Name) {
  return Name.find_first_of("\"*<>?|") != std::string::npos;
}

std::string Message(const std::string& Subject, const TLocalizedStrings& Text) {
  return Subject + "\r\r" + LocalizedString(Text);
}

// The typed name as a full path: an empty field means the tree's folder, a
// relative name lies below it, "~" is the home folder.
std::string Resolve(const std::string& Typed, const std::string& Selected) {
  if (Typed.empty()) return Selected;
  if (Typed == "~") return GetHomeFolder();
  if (Typed.rfind("~/", 0) == 0) return GetHomeFolder() + Typed.substr(2);
  if (Typed[0] == '/') return Typed;
  return IncludeTrailingPathDelimiter(Selected.empty() ? CurrentFolder() : Selected) + Typed;
}

}  // namespace

std::optional<std::string> ConfirmBrowseFolder(const std::string& Typed,
                                               const std::string& Selected,
                                               TBrowseDirOptions Options, const TBrowseAsk& Ask) {
  std::string r = Resolve(Typed, Selected);
  if (HasInvalidCharacter(r)) {
    Ask(Message(r, BrowseFolderTexts::NameNotValid), mtWarning, {mbOK});
    return std::nullopt;
  }
  r = ExcludeTrailingPathDelimiter(NormalizePath(r));
  const std::string parent = ParentFolder(r);
  if ((Options & bfPathMustExist) && !parent.empty() && !DirectoryExists(parent)) {
    Ask(Message(parent, BrowseFolderTexts::PathNotFound), mtWarning, {mbOK});
    return std::nullopt;
  }
  if ((Options & bfDirMustExist) && !DirectoryExists(r)) {
    Ask(Message(r, BrowseFolderTexts::FolderNotFound), mtWarning, {mbOK});
    return std::nullopt;
  }
  if ((Options & bfCreatePrompt) && !DirectoryExists(r)) {
    if (Ask(Message(r, BrowseFolderTexts::CreatePrompt), mtConfirmation, {mbYes, mbNo}) != mrYes)
      return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(r, ec);
    // A folder that could not be made is not handed back as if it were there.
    if (!DirectoryExists(r)) {
      std::string text = Message(r, BrowseFolderTexts::CreateFailed);
      if (ec) text += "\r" + ec.message();
      Ask(text, mtWarning, {mbOK});
      return std::nullopt;
    }
  }
  if ((Options & bfNoReadOnlyReturn) && DirectoryExists(r) && FileIsReadOnly(r)) {
    Ask(Message(r, BrowseFolderTexts::FolderReadOnly), mtWarning, {mbOK});
    return std::nullopt;
  }
  return IncludeTrailingPathDelimiter(r);
}
