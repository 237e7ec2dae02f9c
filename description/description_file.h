// Descriptions kept in files of their own. A value of descript.ion is one
// line, and a real Workshop description is many lines of Steam's markup, so
// a language section may name a file that holds its description instead:
//
//   [en]
//   title = Lanterns at Night
//   description_file = texts/description_en.txt
//
// The file's text then goes to Steam in place of any "description" value of
// the section. Both modpublish and modpublish-check read the files through
// LoadDescriptionFiles, after descript.ion and before anything else.
#ifndef MODPUBLISH_DESCRIPTION_DESCRIPTION_FILE_H_
#define MODPUBLISH_DESCRIPTION_DESCRIPTION_FILE_H_

#include <string>
#include <string_view>

#include "description/description.h"

// The key that names a section's description file.
constexpr std::string_view kDescriptionFileKey = "description_file";

// Where the value `named` of a description_file key points, for the mod
// folder `modFolder` as given on the command line: `named` itself when it is
// rooted (platform::IsRootedPath: "/home/mira/en.txt", "C:\texts\en.txt"),
// else the folder, the platform's separator and `named`, as descript.ion's
// own path is composed. Either way every '/' and '\' of `named` becomes the
// platform's separator, so one descript.ion serves Windows and POSIX alike.
std::string DescriptionFilePath(std::string_view modFolder, std::string_view named);

// Makes a description file's bytes the text Steam gets: a UTF-8 byte-order
// mark at the start is dropped, every CR LF becomes LF, and the line ends at
// the very end are dropped. Nothing else is decoded or changed.
void MakeDescriptionText(std::string& bytes);

// Reads the description file at `path` into `text`, made by
// MakeDescriptionText. Returns kRead, or why not, with `text` empty:
// kMissing, kNotAFile (a folder, a pipe, a device: never waited on),
// kUnreadable, or kTooBig when it doesn't fit in the memory left.
FileStatus ReadDescriptionFile(const std::string& path, std::string& text);

// Reads the description file of every section that is uploaded (its name is
// a language code SteamLanguageFor knows) and has a description_file key,
// into description.files, in section order, replacing what they held. The
// files of skipped sections are not read: nothing of them reaches Steam.
// With `stopAtFailure` it stops after the first file that can't be read, as
// a publish must; without, every file gets its status, as a check wants.
// Returns the first file that can't be read, or null when all were read;
// the pointer is valid until description.files changes.
const DescriptionFile* LoadDescriptionFiles(ModDescription& description, std::string_view modFolder,
                                            bool stopAtFailure);

#endif  // MODPUBLISH_DESCRIPTION_DESCRIPTION_FILE_H_
