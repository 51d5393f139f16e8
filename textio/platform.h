#pragma once

#include <cstdio>
#include <string>

// Everything the program asks of the operating system about files: opening,
// kinds, identity, replacement. One source file per system implements it
// (platform_posix.cpp, platform_win32.cpp); nothing else in the program calls
// the system for files. Paths are UTF-8 throughout.
//
// Functions that can fail return false (or nullptr) and put the system's
// reason, in the system's words, into `reason`.
namespace kovarim::platform {

// Binary streams. A folder opens for neither.
std::FILE *OpenForReading(const std::string &path, std::string &reason);
std::FILE *OpenForWriting(const std::string &path, bool append, std::string &reason);

// What a name stands for, after symbolic links.
enum class Kind {
    Missing,
    Regular, // an ordinary file
    Folder,
    Other, // a device, a pipe or a socket: written in place, never replaced
};
Kind KindOf(const std::string &path);
// Whether an open stream is an ordinary file (not a terminal, pipe or device).
bool IsRegular(std::FILE *stream);

// The name a path finally stands for once its symbolic links are followed; the
// path itself where there are none.
std::string FollowLinks(const std::string &path);

// Whether two names are one file (the same device and inode, or file index);
// for names that do not exist yet, whether they are the same name.
bool SameFile(const std::string &a, const std::string &b);
// Whether an open stream is the file `path`.
bool SameFile(std::FILE *stream, const std::string &path);

// Whether an existing file could be opened for writing, as a plain open would
// find; nothing is changed.
bool CanWrite(const std::string &path, std::string &reason);

// A new, empty file in the folder of `beside`, under a short name of its own
// (so that a long but valid final name still leaves room), opened for
// writing; `created` gets its name. False when the folder cannot take it;
// `folderDenied` then says whether that is for lack of permission.
std::FILE *CreateBeside(const std::string &beside, std::string &created, bool &folderDenied,
                        std::string &reason);
// Flushes a stream's bytes to the disk.
bool SyncToDisk(std::FILE *stream, std::string &reason);
// Empties an open file; further writes append from its start.
bool Truncate(std::FILE *stream, std::string &reason);
// Puts `from` in the place of `to`, replacing it in one step.
bool Replace(const std::string &from, const std::string &to, std::string &reason);
void Remove(const std::string &path);

// The folder part of a path ("." for a bare name).
std::string FolderOf(const std::string &path);

// Standard streams that the caller closed would otherwise be taken by the
// first files the program opens. Puts something harmless in their place:
// standard output and error fail every write (so a lost result is noticed),
// standard input fails every read.
void GuardStandardStreams();

} // namespace kovarim::platform
