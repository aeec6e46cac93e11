#pragma once
// The program's resource ids, by kind: the string table, the dialogs, their controls, the content
// list's menu commands and the icon. The numbers are the ones the window rules, the templates
// and the Windows resources use; none may change.
//
// The Windows resource script includes this header too: the icon's number is a macro it can read,
// and everything else is hidden from it.

// The program's icon, which the packer window shows.
#define QUILLOMAR_PROGRAM_ICON 207

#ifndef RC_INVOKED

namespace quillomar {

// ---- Strings (string table; message boxes show the kMsg ones by id) ----

inline constexpr int kMsgProgramName = 100;  // also the caption of every box
inline constexpr int kMsgOutOfMemory = 101;
inline constexpr int kPickerTitle = 102;  // the folder picker of Extract all and Extract selected
inline constexpr int kMsgNotAnArchive = 103;
inline constexpr int kMsgNotFolderOrArchive = 104;
inline constexpr int kMsgNoAssociation = 105;
// The content list's column headers, in column order.
inline constexpr int kNameColumnTitle = 106;
inline constexpr int kTypeColumnTitle = 107;
inline constexpr int kFolderColumnTitle = 108;
inline constexpr int kDateColumnTitle = 109;
inline constexpr int kSizeColumnTitle = 110;
inline constexpr int kMsgDamagedArchive = 111;
// The content list's context menu, the hint's progress ("%1 / %2") and its end ("%1": the count
// of files, "%2": the folder), for one file and for any other count.
inline constexpr int kOpenText = 112;
inline constexpr int kExtractSelectedText = 113;
inline constexpr int kCopyNameText = 114;
inline constexpr int kProgressText = 115;
inline constexpr int kExtractedText = 116;
inline constexpr int kExtractedOneText = 117;
inline constexpr int kMsgEntriesNotExtracted = 118;  // "%1 of %2 entries not extracted"
// Editing in the content window: the context menu's commands, the questions before replacing and
// deleting (for one entry, and "%1": the count), the hint while an edit is written ("%1 / %2"),
// and the messages for an archive that is only read and for a name that cannot be given.
inline constexpr int kDeleteText = 125;
inline constexpr int kRenameText = 126;
inline constexpr int kReplaceQuestion = 127;
inline constexpr int kReplaceOneQuestion = 128;
inline constexpr int kDeleteQuestion = 129;
inline constexpr int kDeleteOneQuestion = 130;
inline constexpr int kWritingText = 131;
inline constexpr int kReadOnlyMessage = 132;
inline constexpr int kInvalidNameMessage = 133;
// What one extraction tells at its end: counts of entries not extracted and written over, the end
// of a list cut short, and the warning about entries that share their data.
inline constexpr int kNotExtractedListText = 140;  // "%1 entries were not extracted:"
inline constexpr int kWrittenOverListText = 141;   // "%1 entries were written over by a later entry of the same name:"
inline constexpr int kMoreNamesText = 142;         // "... and %1 more"
inline constexpr int kLargeOutputText = 143;       // "%1": bytes written, "%2": the archive's size
// The hint while filtering ("%1 of %2 entries"), the menu's command for the preview pane, a
// picture's size in the pane ("%1 × %2 pixels") and what the pane says of an entry it cannot show.
inline constexpr int kFilterCountText = 160;
inline constexpr int kPreviewText = 161;
inline constexpr int kPictureSizeText = 162;
inline constexpr int kCannotShowText = 163;

// ---- Dialogs ----

inline constexpr int kPackerDialogId = 102;
inline constexpr int kContentDialogId = 103;

// ---- Controls ----

// The dialog manager's OK and cancel identifiers. Enter sends kIdOk's command through the default
// button; Escape and the caption's close button send kIdCancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

namespace packer {

// Controls of the packer window.
inline constexpr int kQuit = kIdOk;  // default button: ends the window
inline constexpr int kGenerate = 201;
inline constexpr int kFileCount = 202;  // files of the scan, or entries of the archive
inline constexpr int kTotalKilobytes = 203;
inline constexpr int kFolder = 204;  // the dropped folder
inline constexpr int kSubfolders = 205;
inline constexpr int kName = 206;  // archive name without ".pod", or the opened archive's path
inline constexpr int kAuthor = 207;
inline constexpr int kWriteLog = 208;  // check box: write the content log on the next folder drop
inline constexpr int kProgress = 209;
inline constexpr int kDescription = 210;
inline constexpr int kCopyright = 211;
inline constexpr int kPriority = 212;
inline constexpr int kShowContent = 213;
inline constexpr int kVersion = 214;

}  // namespace packer

namespace viewer {

// Controls of the content window.
inline constexpr int kClose = kIdOk;           // ends the window
inline constexpr int kExtractAll = kIdCancel;  // Escape sends it too: Escape starts Extract all
inline constexpr int kList = 217;
inline constexpr int kHint = 218;     // the line above the list
inline constexpr int kFilter = 219;   // the filter box; as a command (Ctrl+F), the focus goes there
inline constexpr int kPreview = 220;  // the preview pane; as a command (F3), it is shown or hidden

// ---- Menu commands: the content list's context menu ----

inline constexpr int kMenuOpen = 1;
inline constexpr int kMenuExtractSelected = 2;
inline constexpr int kMenuCopyName = 3;
inline constexpr int kMenuDelete = 10;
inline constexpr int kMenuRename = 11;
inline constexpr int kMenuPreview = 12;

}  // namespace viewer

// ---- Icons ----

inline constexpr int kProgramIcon = QUILLOMAR_PROGRAM_ICON;

}  // namespace quillomar

#endif  // RC_INVOKED
