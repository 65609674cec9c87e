#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkor {

// The whole file as bytes; nullopt when it does not exist or cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file's contents crash-safely: the bytes go to a new temporary file in the same
// folder, which is flushed to disk and renamed over `path`. On failure the old file is left
// untouched, the temporary file is removed, and false is returned. The folder must exist.
bool ReplaceFile(const std::string& path, std::string_view contents);

// ReplaceFile for a file only its owner may read and write (mode 0600 from its first byte on):
// stored cookies and other secrets.
bool ReplacePrivateFile(const std::string& path, std::string_view contents);

// Appends bytes to a file, creating it when missing. Returns false on failure.
bool AppendToFile(const std::string& path, std::string_view contents);

bool FileExists(const std::string& path);       // a regular file (following links)
bool DirectoryExists(const std::string& path);  // a directory (following links)

// Creates the directory and any missing parents. True when it exists afterwards.
bool MakeDirectories(const std::string& path);

// Removes a file; true when it is gone afterwards.
bool RemoveFile(const std::string& path);

}  // namespace velkor
