#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Everything the program asks of the operating system: files (opening, kinds,
// identity, replacement), code pages, standard streams and arguments. One
// source file per system implements it (platform_posix.cpp,
// platform_win32.cpp); nothing else in the program calls the system for
// these. Paths are UTF-8 throughout; on Windows they become UTF-16 only here.
//
// Functions that can fail return false (or nullptr) and put the system's
// reason into `reason`: the common ones in Chinese, in the same words on
// every system (找不到该文件或文件夹, 拒绝访问, 磁盘已满, ...), any other in
// the system's own.
namespace kovarim::platform {

// The reason for the C library's last failure (errno), in those words.
std::string LastReason();

// Whether the system takes a name for a device whatever the folder before
// it, so that opening it would read a serial port or the console, or write
// to a printer: on Windows the names DOS reserved (CON, PRN, AUX, NUL, COM1
// to COM9 and LPT1 to LPT9, also with the digits ¹ ² ³; the console's
// CONIN$ and CONOUT$), in any case and with any extension ("aux.txt" is
// AUX). A name in the device space (\\.\pipe\name) is not one of these:
// it names its device on purpose. No name is one on other systems, where
// devices have paths of their own.
bool IsDeviceName(const std::string &path);

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
// The length in bytes of an open ordinary file, all written through the
// stream included; -1 when the system cannot tell.
long long LengthOf(std::FILE *stream, std::string &reason);

// The name a path finally stands for once its symbolic links are followed; the
// path itself where there are none.
std::string FollowLinks(const std::string &path);

// Whether two names are one file (the same device and inode, or file index);
// for names that do not exist yet, whether they would be: the same name in
// the same folder, names compared as the system resolves them (on Windows
// in either case, less the trailing dots and spaces it drops, folders by
// their identity whatever their short or \\?\ forms).
bool SameFile(const std::string &a, const std::string &b);
// Whether an open stream is the file `path`.
bool SameFile(std::FILE *stream, const std::string &path);

// Whether an existing file could be opened for writing, as a plain open would
// find; nothing is changed.
bool CanWrite(const std::string &path, std::string &reason);

// A new, empty file in the folder of `beside`, under a short name of its own
// (so that a long but valid final name still leaves room), opened for
// writing; `created` gets its name. Where `beside` is a file already, the
// new one takes its mode, owner and group (POSIX, as far as the user may
// give them) or its attributes (Windows), so that replacing it keeps them.
// False when the folder cannot take it; `folderDenied` then says whether
// that is for lack of permission.
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
// Where the file's own name begins in a path (after its folder).
std::size_t NameStart(const std::string &path);

// A new, empty file for the program alone, read and written, that vanishes
// when it is closed or the program ends.
std::FILE *OpenTemporary(std::string &reason);

// Code pages --------------------------------------------------------------

// GBK text, the ANSI code page of Chinese Windows (936), through the system's
// own converter: one- and two-byte forms only (GB18030's further forms are
// the caller's). Appends the text as UTF-8 to `utf8`; false, with nothing
// appended, when some bytes stand for no character there.
bool GbkToUtf8(std::string_view gbk, std::string &utf8);
// UTF-8 text as GBK, appended to `gbk`; false, with nothing appended, when
// GBK lacks one of its characters (or it is not UTF-8).
bool Utf8ToGbk(std::string_view utf8, std::string &gbk);

// The process ------------------------------------------------------------

// Whether a stream is a terminal (a console on Windows) that someone watches,
// not a file or a pipe.
bool IsTerminal(std::FILE *stream);

// Standard streams that the caller closed would otherwise be taken by the
// first files the program opens. Puts something harmless in their place:
// standard output and error fail every write (so a lost result is noticed),
// standard input fails every read.
void GuardStandardStreams();

// A write past the file-size limit (ulimit -f) fails as on a full disk
// instead of ending the program (SIGXFSZ), so that the file begun beside its
// target goes and the old one stays. Nothing to do on Windows.
void WriteFailuresAsErrors();

// What would end the program from outside while it works sets `stop`
// instead, so that the work stops, what it began is taken away and nothing
// is changed: on POSIX SIGINT (Ctrl-C), SIGTERM, SIGQUIT (Ctrl-\), SIGHUP (the
// terminal closed) and SIGPIPE (a pipe that no one reads any more); on
// Windows Ctrl+C, Ctrl+Break and the console closed (or the user logging off),
// where the system ends the process once it has been told, so the program
// must end by itself before that. A second Ctrl-C, SIGTERM, Ctrl-\ or
// Ctrl+Break ends the program at once; a signal that whoever started the
// program ignores stays ignored. On POSIX a read or a write that waits when
// the signal comes fails (EINTR) rather than waiting on.
void StopOnInterrupt(std::atomic<bool> &stop);

// Standard streams carry bytes unchanged (Windows would turn LF into CR LF).
void UseStandardStreamsForBytes();

// Writes a message or a result text (UTF-8) to `stream`, standard output or
// standard error, and flushes it: a console gets its characters whatever
// its code page, a pipe or a file the UTF-8 bytes (the same as on every
// system). False, with errno set, when it did not get there. Bytes that are
// a result of their own (a converted file) go with WriteBytes instead.
bool WriteText(std::FILE *stream, std::string_view utf8);
// Writes bytes to `stream` as they are, a console included (which shows them
// in its code page); buffered as fwrite is. False, with errno set, on failure.
bool WriteBytes(std::FILE *stream, std::string_view bytes);

#ifdef _WIN32
// The arguments of wmain, which Windows gives as UTF-16, as UTF-8 (the
// narrow ones would be in the ANSI code page and lose what it lacks).
std::vector<std::string> Utf8Arguments(int argc, wchar_t *argv[]);
#endif

} // namespace kovarim::platform
