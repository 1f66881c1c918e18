// Reading a tool's input and writing its output files.
//
// "-" names standard input where a tool reads a file and standard output
// where it writes one. A file is written under a temporary name in its own
// directory and renamed over the target, so that it appears complete or not
// at all; a target that exists and is not a regular file (/dev/null, a
// pipe) is written in place.
#ifndef ZMD_TOOL_IO_H
#define ZMD_TOOL_IO_H

#include <string>

// True for "-", the name of standard input or output.
bool ToolIsStdio(const std::string &path);

// The system's reason for err, in plain words where the system's own are
// misleading ("is a directory").
std::string ToolErrnoText(int err);

// Reads the whole of path ("-": standard input). On failure *error is
// "cannot read PATH: reason" and the result false.
bool ToolReadInput(const std::string &path, std::string *bytes, std::string *error);

// Writes bytes to path ("-": standard output). On failure *error is
// "cannot write PATH: reason", nothing is left at path that was not there
// before, and the result false.
bool ToolWriteOutput(const std::string &path, const std::string &bytes, std::string *error);

#endif // ZMD_TOOL_IO_H
